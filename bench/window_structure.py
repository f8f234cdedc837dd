#!/usr/bin/env python3
"""Counts what the main window class holds: its data members (references into panes among them), its
member functions (public ones apart), the files that define its functions, and the largest program file.
Usage: bench/window_structure.py [TREE] (default: the current folder); for an earlier commit,
`git archive REV | tar -x -C DIR` and name DIR."""
import os, re, sys

root = sys.argv[1] if len(sys.argv) > 1 else "."
program_dirs = ["app", "ui", "pipeline", "media", "library", "platform", "speechd"]

def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    return re.sub(r"//[^\n]*", "", text)

def class_body(text, name):
    m = re.search(r"\bclass\s+%s\s*:[^{]*\{" % name, text)
    start = m.end()
    depth, i = 1, start
    while depth:
        depth += {"{": 1, "}": -1}.get(text[i], 0)
        i += 1
    return text[start:i - 1]

header = strip_comments(open(os.path.join(root, "ui/widget.h"), encoding="utf-8").read())
body = class_body(header, "Widget")
# Flatten nested braces (inline bodies, nested structs) to one token so statements split on ';'.
flat, depth, access = [], 0, "private"
statements, current = [], ""
for ch in body:
    if ch == "{":
        depth += 1
        if depth == 1:
            current += "{}"
        continue
    if ch == "}":
        depth -= 1
        if depth == 0 and re.match(r"\s*(struct|class|enum)\b", current):
            statements.append((access, current)); current = ""
        continue
    if depth:
        continue
    current += ch
    if ch == ":" and re.fullmatch(r"\s*(public|protected|private)(\s+slots)?\s*:|\s*(signals|Q_SIGNALS)\s*:", current):
        access = "public" if "signals" in current else current.strip().split()[0].rstrip(":")
        current = ""
    elif ch == ";":
        statements.append((access, current)); current = ""
    elif current.strip() == "Q_OBJECT" or re.fullmatch(r"\s*Q_DISABLE_COPY\(\w+\)", current):
        current = ""

data = functions = public_functions = references = 0
for access, s in statements:
    s = " ".join(s.split())
    if not s.strip(" ;") or s.startswith(("struct", "class", "enum", "using", "friend", "static constexpr", "Q_")):
        continue
    is_function = re.search(r"\w\s*\(", s.split("=")[0]) and "std::function" not in s.split("(")[0]
    if is_function:
        functions += 1
        public_functions += access == "public"
    else:
        data += 1
        references += bool(re.search(r"&\s*\w+\s*(=.*)?;?$", s)) or "*const" in s.replace(" ", "")

defining = []
largest = (0, "")
for d in program_dirs:
    for dirpath, _, files in os.walk(os.path.join(root, d)):
        for f in files:
            if not f.endswith((".cpp", ".h")):
                continue
            path = os.path.join(dirpath, f)
            text = open(path, encoding="utf-8", errors="replace").read()
            rel = os.path.relpath(path, root)
            if f.endswith(".cpp") and re.search(r"\bWidget::\w", text):
                defining.append(rel)
            largest = max(largest, (text.count("\n"), rel))

print(f"Widget data members: {data} ({references} of them references or const pointers into the parts it assembles)")
print(f"Widget member functions: {functions} ({public_functions} public, slots and signals included)")
print(f"files defining Widget:: functions: {len(defining)} ({', '.join(sorted(defining))})")
print(f"largest program file: {largest[1]}, {largest[0]} lines")
