#include "ui/theme.h"

// Every control that takes focus shows it: a tint behind a picture, a darker frame round a button.
#define CAPTION_FOCUS "QPushButton:focus{background:rgba(255,255,255,110);border-radius:3px}"
#define PANEL_FOCUS "QPushButton:focus{background:#cfe3fb;border-radius:4px}"
#define BUTTON_FOCUS "QPushButton:focus{border:2px solid #0a3d91}"

namespace Theme {

const char *const caption = "QLabel {background:#0c80e8;color:white;font:bold %1px;border-top:1px solid #b6bbc2;"
                            "border-bottom:1px solid #b6bbc2;"
                            "border-left:1px solid #b6bbc2;border-right:1px solid #b6bbc2;border-top-left-radius: 4px; "
                            "border-top-right-radius: 4px}";
const char *const captionIcon = "border:0px;background:transparent";
const char *const homePageButton = "QPushButton{border:0px solid black; border-image:url(:/images/homepage.png);}"
                                   " " CAPTION_FOCUS;
const char *const minimiseButton = "QPushButton{border:0px solid black; border-image:url(:/images/minBtn_p.png);}"
                                   " " CAPTION_FOCUS;
const char *const maximiseButton = "QPushButton{border:0px solid black;border-image:url(:/images/maxBtn_p.png);}"
                                   " " CAPTION_FOCUS;
const char *const restoreButton = "QPushButton{border:0px solid black;border-image:url(:/images/normal_p.png);}"
                                  " " CAPTION_FOCUS;
const char *const closeButton = "QPushButton{border:0px solid black;border-image:url(:/images/closeBtn_p.png);}"
                                " " CAPTION_FOCUS;

const char *const leftPanel = "QLabel {background:white;border-right:1px solid #b6bbc2;border-left:1px "
                              "solid #b6bbc2;border-bottom:1px solid #b6bbc2}";
const char *const wavPageButton = "QPushButton {border:0px;} QPushButton:checked {background:#e4eef8} "
                                  "QPushButton:focus{border:1px dashed #217cff}";
const char *const addWavButton
    = "QPushButton {background:transparent; border-image:url(:/images/jia.png);} " PANEL_FOCUS;
const char *const txtPageButton
    = "QPushButton {border-bottom:0px solid #b6bbc2;border-top:1px solid #dddddd;border-left:0px "
      "solid #b6bbc2;border-right:0px solid #b6bbc2;} QPushButton:checked {background:#e4eef8} "
      "QPushButton:focus{border:1px dashed #217cff}";
const char *const fileList = "* {border:0px} QListWidget:focus{border:1px solid #217cff}";

const char *const rightPanel = "background:white;border-right:1px solid #b6bbc2;border-bottom:1px solid #b6bbc2";
const char *const strip = "background:white;border-bottom:1px solid #b6bbc2";
const char *const comboBox
    = "* {border:1px solid #d8d8d8;border-radius:3px;font:14px} QComboBox:focus{border:2px solid #217cff}";
const char *const recordButton
    = "QPushButton{border:0px solid black; border-image:url(:/images/record.png);} "
      "QPushButton:checked{border:0px solid black; border-image:url(:/images/stop.png);} " PANEL_FOCUS;
// The box drawn by the sheet itself: left to the style, the bar's sheet leaves it blank while unchecked.
const char *const liveCheck
    = "QCheckBox{background:transparent;border:none;font:12px;color:#333} "
      "QCheckBox::indicator{width:12px;height:12px;border:1px solid #6b7280;border-radius:2px;background:white} "
      "QCheckBox::indicator:hover{border-color:#217cff} "
      "QCheckBox::indicator:checked{background:#217cff;border-color:#217cff;image:url(:/images/check.png)} "
      "QCheckBox::indicator:disabled{border-color:#b6bbc2;background:#f0f0f0} "
      "QCheckBox:focus{background:#cfe3fb;border-radius:4px}";
const char *const recordClock = "background:white;font:14px;border-bottom:0px solid #b6bbc2;border-top:0px solid "
                                "#dddddd;border-left:0px solid #b6bbc2;border-right:1px solid #b6bbc2;";
const char *const playButton = "QPushButton{border:0px solid black; border-image:url(:/images/play.png);}"
                               " " PANEL_FOCUS;
const char *const pauseButton = "QPushButton{border:0px solid black; border-image:url(:/images/pause.png);}"
                                " " PANEL_FOCUS;
const char *const stopButton = "QPushButton{border:0px solid black; border-image:url(:/images/stop.png);}"
                               " " PANEL_FOCUS;
// A 4-pixel bar in the middle of the 16-pixel groove: blue on the played side, grey on the rest.
const char *const seekSlider
    = "QSlider {border: 0px solid #f0f0f0;} QSlider:focus {background:#e4eef8;} "
      "QSlider::groove:horizontal {border: 0px solid #f0f0f0;height: 16px;background: transparent;margin: 0px 0; } "
      "QSlider::handle:horizontal { border: 3px solid #eeeeee;background:#0177ff; width: 10px; border-radius:8px} "
      "QSlider::sub-page:horizontal {background:qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 transparent,stop:0.3 "
      "transparent,stop:0.4 #0177ff,stop:0.6 #0177ff,stop:0.7 transparent, stop:1 transparent);} "
      "QSlider::add-page:horizontal {background:qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 transparent,stop:0.3 "
      "transparent,stop:0.4 #d8d8d8,stop:0.6 #d8d8d8,stop:0.7 transparent, stop:1 transparent);}";
const char *const playClock = "border:0px;color:black;font:14px";
const char *const actionButton = "QPushButton {border:0px;background:#217cff;border-radius:3px;font:14px;color:white} "
                                 "QPushButton:disabled {background:#dcdcdc;color:gray} " BUTTON_FOCUS;
const char *const clearListButton
    = "* {border:0px;background:#217cff;border-radius:3px;font:14px;color:white} " BUTTON_FOCUS;
const char *const timeLeft = "QLabel {border:0px;background:transparent;color:#333333;font:12px}";
const char *const textView = "QTextEdit:focus{border:2px solid #217cff}";
const char *const findBar = "#findBar {background:#f4f7fb;border:1px solid #b6bbc2;border-radius:3px} "
                            "#findBar QLabel {border:0px;background:transparent;font:13px;color:#555555}";

const char *const messageBackground = "background:white;border:1px solid #9e9e9e;border-radius:2px";
const char *const messageTitle = "font:bold %1px;color:white;background:#0c80e8";
const char *const messageText = "font:%1px; color:black;background:transparent";
const char *const messageCloseButton = "QPushButton{border-image:url(:/images/closeBtn_p.png);}"
                                       " " CAPTION_FOCUS;
const char *const messageAcceptButton
    = "QPushButton:enabled{color:white;font: 14px;background:#0c80e8;border:1px solod "
      "#6ab3bf;border-radius:3px} "
      "QPushButton:!enabled{color:white;font: 14px;background:gray;border:1px solod "
      "#6ab3bf;border-radius:3px}";

const char *const renameOkButton = "QPushButton {background:#0c80e8;color:white;} " BUTTON_FOCUS;

} // namespace Theme
