"""English sentences the benchmarks speak with espeak-ng."""
SENTENCES = [
    "The weather is nice today and we will go for a walk in the park.",
    "Please open the window because it is very warm in this room.",
    "My brother bought a new car last week and drove it to the city.",
    "We need to finish this report before the meeting on Monday morning.",
    "She likes to read books about history and science in the evening.",
    "The children played football in the garden until it was dark.",
    "I would like a cup of coffee and a piece of cake, please.",
    "The train to London leaves at half past seven every morning.",
    "He forgot his umbrella at the office and got wet on the way home.",
    "Our teacher told us a story about a brave young sailor.",
    "The market sells fresh fruit and vegetables on Saturdays.",
    "They are planning a holiday by the sea next summer.",
    "Turn left at the bank and the station is on your right.",
    "Music helps me relax after a long day at work.",
    "The doctor said that I should drink more water every day.",
]
