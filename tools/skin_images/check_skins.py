#!/usr/bin/env python3
"""Consistency check of the installer's skin folder, without the UI framework.

    check_skins.py <skin folder>

Parses the six skin files and checks: the markup vocabulary and value
syntaxes, the window attributes, the fonts, every control the program looks
up (type, size, texts, colours, images, the page it sits on), that every
image a skin or the program names exists (apart from the disabled-state
images the package deliberately leaves out), that every PNG is well formed
and has the size its control expects, the package's file list and the icon.
Prints every problem found and exits 1 if there was any.
"""

import os
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True   # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from pngio import PngError, decode_png  # noqa: E402

SKIN_FILES = ["mainWnd.xml", "exitTipWnd.xml", "InstalledPathTipWnd.xml",
              "MessageBox1Wnd.xml", "MessageBox2Wnd.xml", "NetworkTipWnd.xml"]
PACKAGE_FOLDERS = {"res", "res/common", "res/mainWnd", "res/mainWnd/installBtnAnimate", "res/MessageBoxWnd"}
PACKAGE_FILE_COUNT = 65
MAX_SKIN_BYTES = 4 * 1024 * 1024
MAX_ATTRIBUTES = 64
FACE_NAME = "微软雅黑"
ICON_FILE = "installer.ico"

# Named in the skins, deliberately not in the package: not drawn.
ALLOWED_MISSING = {"res/common/minbtn4.png", "res/common/closebtn4.png", "res/common/closebtnM_4.png"}

# Images the program itself sets (page backgrounds, the optional carousel).
PROGRAM_IMAGES = ["res/mainWnd/bg1.png", "res/mainWnd/bg2.png", "res/mainWnd/bg3.png", "res/mainWnd/bg4.png",
                  "res/mainWnd/ab1.png", "res/mainWnd/ab2.png", "res/mainWnd/ab3.png"]

CONTROL_ELEMENTS = {"VerticalLayout", "HorizontalLayout", "Control", "TabLayout", "Label", "Button",
                    "CheckBox", "Edit", "Progress", "SequenceLabel"}
COMMON_ATTRIBUTES = {"name", "width", "height", "pos", "padding", "visible", "bkcolor", "bkimage",
                     "borderround", "bordersize", "userdata"}
LABEL_ATTRIBUTES = {"text", "font", "textcolor", "hottextcolor", "pushedtextcolor", "selectedtextcolor",
                    "textpadding", "align", "valign", "multiline"}
BUTTON_ATTRIBUTES = LABEL_ATTRIBUTES | {"hotbkcolor", "pushedbkcolor", "normalimage", "hotimage",
                                        "pushedimage", "disabledimage"}
ELEMENT_ATTRIBUTES = {
    "VerticalLayout": COMMON_ATTRIBUTES, "HorizontalLayout": COMMON_ATTRIBUTES,
    "Control": COMMON_ATTRIBUTES, "TabLayout": COMMON_ATTRIBUTES,
    "Label": COMMON_ATTRIBUTES | LABEL_ATTRIBUTES,
    "Button": COMMON_ATTRIBUTES | BUTTON_ATTRIBUTES,
    "CheckBox": COMMON_ATTRIBUTES | BUTTON_ATTRIBUTES | {"selectedimage", "selected"},
    "Edit": COMMON_ATTRIBUTES | {"font", "textcolor", "textpadding", "text"},
    "Progress": COMMON_ATTRIBUTES | {"foreimage"},
    "SequenceLabel": COMMON_ATTRIBUTES | LABEL_ATTRIBUTES | {
        "sequencebkimage", "sequencecount", "sequencespan", "sequenceround", "sequenceloop", "autostart"},
}
# Attributes the library ignores that the package carries on purpose, per file and element.
TOLERATED_UNKNOWN = {("mainWnd.xml", "Progress"): {"isstretchfore"},
                     ("InstalledPathTipWnd.xml", "Button"): {"hotborercolor", "pushedfont", "hotfont"}}
WINDOW_ATTRIBUTES = {"size", "caption", "roundcorner", "showshadow", "shadowsize", "shadowsharpness",
                     "shadowdarkness", "shadowposition", "shadowcolor"}
FONT_ATTRIBUTES = {"id", "name", "size", "bold", "underline", "italic", "default", "shared"}
IMAGE_ATTRIBUTES = {"bkimage", "normalimage", "hotimage", "pushedimage", "disabledimage",
                    "selectedimage", "foreimage"}
COLOUR_ATTRIBUTES = {"bkcolor", "hotbkcolor", "pushedbkcolor", "textcolor", "hottextcolor",
                     "pushedtextcolor", "selectedtextcolor", "shadowcolor", "hotborercolor"}
BOOLEAN_ATTRIBUTES = {"visible", "multiline", "selected", "bold", "underline", "italic", "default",
                      "shared", "showshadow", "sequenceround", "sequenceloop", "autostart", "isstretchfore"}
INTEGER_ATTRIBUTES = {"width", "height", "bordersize", "font", "sequencecount", "sequencespan",
                      "id", "size", "shadowsize", "shadowsharpness", "shadowdarkness", "pushedfont", "hotfont"}
RECT_ATTRIBUTES = {"pos", "padding", "textpadding", "caption"}
SIZE_ATTRIBUTES = {"roundcorner", "borderround", "shadowposition"}

MAIN_SHADOW = {"showshadow": "true", "shadowsize": "6", "shadowsharpness": "10", "shadowdarkness": "20",
               "shadowposition": "1,1", "shadowcolor": "#26003B76"}
PATH_TIP_SHADOW = dict(MAIN_SHADOW, shadowdarkness="10", shadowcolor="#FFEDF0F4")

WINDOWS = {
    "mainWnd.xml": dict(MAIN_SHADOW, size="600,400", caption="0,0,0,35", roundcorner="2,2"),
    "MessageBox1Wnd.xml": dict(MAIN_SHADOW, size="360,180", caption="0,0,0,30", roundcorner="2,2"),
    "MessageBox2Wnd.xml": dict(MAIN_SHADOW, size="360,180", caption="0,0,0,30", roundcorner="2,2"),
    "InstalledPathTipWnd.xml": dict(PATH_TIP_SHADOW, size="360,180", caption="0,0,0,30", roundcorner="4,4"),
    "NetworkTipWnd.xml": dict(MAIN_SHADOW, size="360,180", caption="0,0,0,30", roundcorner="2,2"),
    "exitTipWnd.xml": dict(MAIN_SHADOW, size="360,180", caption="0,0,0,30", roundcorner="4,4"),
}

MAIN_FONT_SIZES = {0: 14, 1: 18, 2: 14, 3: 12, 4: 24, 5: 40, 6: 16}
ALL_FONT_SIZES = {12, 14, 16, 18, 24, 30, 40}
UNDERLINED_FONT_FILES = {"InstalledPathTipWnd.xml", "exitTipWnd.xml"}


def _states(prefix, count=3, fmt="res\\%s%d.png"):
    return [fmt % (prefix, i) for i in range(1, count + 1)]


def _faded(path):
    return "file='%s' fade='255'" % path


INSTALL_BUTTON = {"text": "立即安装", "font": 4, "textcolor": "#FFFFFFFF", "bkcolor": "#FF227EFA",
                  "hotbkcolor": "#FF4896FF", "pushedbkcolor": "#FF066AF2", "borderround": "1,2"}
CHECK_IMAGES = {"normalimage": "file='res\\mainWnd\\Cb1.png' dest='0,2,16,18'",
                "selectedimage": "file='res\\mainWnd\\Cb2.png' dest='0,2,16,18'"}

# name -> (element, width, height, page path, expected attributes). Width or height None: not fixed
# by the skin's contract. The page path names the TabLayout and page index the control sits on.
MAIN_CONTROLS = {
    "winCtn": ("VerticalLayout", None, None, None, {"bkimage": "res\\mainWnd\\bg1.png"}),
    "titleTabLt": ("TabLayout", 200, None, None, {}),
    "backBtn": ("Button", 64, 30, ("titleTabLt", 1), {
        "font": 0, "textcolor": "#FF303F56", "hottextcolor": "#FF59CB8F", "pushedtextcolor": "#FF11A557",
        "normalimage": "res\\mainWnd\\backBtn1.png", "hotimage": "res\\mainWnd\\backBtn2.png",
        "pushedimage": "res\\mainWnd\\backBtn3.png"}),
    "titleGrpCtn": ("HorizontalLayout", None, 24, None, {}),
    "minbtn": ("Button", 24, 24, None, {
        "normalimage": _faded("res\\common\\minbtn1.png"), "hotimage": _faded("res\\common\\minbtn2.png"),
        "pushedimage": _faded("res\\common\\minbtn3.png")}),
    "closebtn": ("Button", 24, 24, None, {
        "normalimage": _faded("res\\common\\closebtn1.png"), "hotimage": _faded("res\\common\\closebtn2.png"),
        "pushedimage": _faded("res\\common\\closebtn3.png")}),
    "mainTabLt": ("TabLayout", None, None, None, {}),
    "defaultInstallBtn": ("Button", 232, 50, ("mainTabLt", 0), INSTALL_BUTTON),
    "tipLbl": ("Label", 116, 32, ("mainTabLt", 0), {"visible": "false", "bkimage": "res\\mainWnd\\tipLbl.png"}),
    "treatyCb": ("CheckBox", 68, None, ("mainTabLt", 0), dict(CHECK_IMAGES, visible="false", selected="true",
                                                             text="已同意", textpadding="26,0,0,0")),
    "treatyBtn": ("CheckBox", None, None, ("mainTabLt", 0), {
        "visible": "false", "selected": "true", "text": "《用户许可协议》", "textcolor": "#FF1675FE"}),
    "customeBtn": ("Button", 88, 18, ("mainTabLt", 0), {
        "normalimage": "res\\mainWnd\\customeBtn1.png", "hotimage": "res\\mainWnd\\customeBtn2.png",
        "pushedimage": "res\\mainWnd\\customeBtn3.png"}),
    "installDirEdit": ("Edit", 340, 40, ("mainTabLt", 1), {
        "textcolor": "#FF333333", "bkimage": "res\\mainWnd\\installDirEdit.png"}),
    "chDirBtn": ("Button", 80, 40, ("mainTabLt", 1), {
        "text": "修改", "normalimage": "res\\mainWnd\\editBtn1.png", "hotimage": "res\\mainWnd\\editBtn2.png",
        "pushedimage": "res\\mainWnd\\editBtn3.png"}),
    "createDSCb": ("CheckBox", 138, None, ("mainTabLt", 1), dict(CHECK_IMAGES, selected="true",
                                                                text="创建桌面快捷方式")),
    "createQSCb": ("CheckBox", 138, None, ("mainTabLt", 1), dict(CHECK_IMAGES, selected="true",
                                                                text="添加到快速启动栏")),
    "customeInstallBtn": ("Button", 232, 50, ("mainTabLt", 1), INSTALL_BUTTON),
    "progressAnLb": ("SequenceLabel", 260, None, ("mainTabLt", 2), {
        "sequencebkimage": "res\\mainWnd\\installBtnAnimate\\%.3d.png", "sequencecount": 1,
        "sequencespan": 30, "sequenceround": "false", "autostart": "true"}),
    "progressLb": ("Label", 360, None, ("mainTabLt", 2), {
        "font": 1, "textcolor": "#FF282A43", "align": "center", "text": "正在安装中:0%，请稍候..."}),
    "installPrg": ("Progress", 410, 8, ("mainTabLt", 2), {
        "bkimage": "file='res\\mainWnd\\installPrg1.png' corner='2,2,2,2'",
        "foreimage": "file='res\\mainWnd\\installPrg2.png' corner='2,2,2,2'"}),
    "openProduceBtn": ("Button", 232, 50, ("mainTabLt", 3), dict(INSTALL_BUTTON, text="立即体验")),
    "bTitleLbl3": ("Label", 130, None, ("mainTabLt", 3), {"font": 2, "textcolor": "#FF303F56", "text": None}),
}
# Looked up by the program but absent from the shipped main skin.
MAIN_ABSENT = ["ableftBtn", "abrightBtn", "finishedLbl", "softNameLbl", "installLogo", "bTitleLbl1", "bTitleLbl2"]
# Decoration the user sees: (page, element, attribute, value) that must be present on that page.
MAIN_DECORATION = [
    (0, "bkimage", "res\\mainWnd\\logoWithTitle.png"),
    (1, "text", "安装路径："),
    (1, "text", "其他选项："),
    (3, "bkimage", "res\\mainWnd\\finished.png"),
    (3, "text", "安装完成"),
    (3, "bkimage", "res\\mainWnd\\ilogo.png"),
]

DIALOG_CLOSE = {"normalimage": "res\\common\\closebtnM_1.png", "hotimage": "res\\common\\closebtnM_2.png",
                "pushedimage": "res\\common\\closebtnM_3.png"}
YES_IMAGES = {"normalimage": "res/MessageBoxWnd/yesBtn1.png", "hotimage": "res/MessageBoxWnd/yesBtn2.png",
              "pushedimage": "res/MessageBoxWnd/yesBtn3.png"}
NO_IMAGES = {"normalimage": "res/MessageBoxWnd/noBtn1.png", "hotimage": "res/MessageBoxWnd/noBtn2.png",
             "pushedimage": "res/MessageBoxWnd/noBtn3.png"}


def _message_box(font_size):
    return {
        "closebtn": ("Button", None, None, None, DIALOG_CLOSE),
        "captionLbl": ("Label", None, None, None, {"text": "CAPTION", "textcolor": "#FF666666",
                                                   "font_size": font_size}),
        "textLbl": ("Label", None, None, None, {"text": "TEXT", "textcolor": "#FF333333", "multiline": "true",
                                                "align": "center", "font_size": font_size}),
    }


DIALOG_CONTROLS = {
    "MessageBox1Wnd.xml": _message_box(16),
    "MessageBox2Wnd.xml": _message_box(14),
    "InstalledPathTipWnd.xml": {
        "closebtn": ("Button", None, None, None, DIALOG_CLOSE),
        "cancelBtn": ("Button", 138, 30, None, {
            "text": "打开软件", "textcolor": "#FFFFFFFF", "normalimage": "res\\MessageBoxWnd\\openBtn1.png",
            "hotimage": "res\\MessageBoxWnd\\openBtn2.png", "pushedimage": "res\\MessageBoxWnd\\openBtn3.png"}),
        "okBtn": ("Button", 138, 30, None, {
            "text": "安装最新版本", "textcolor": "#FF227EFA", "normalimage": "res\\MessageBoxWnd\\latestBtn1.png",
            "hotimage": "res\\MessageBoxWnd\\latestBtn2.png"}),
    },
    "NetworkTipWnd.xml": {
        "closebtn": ("Button", None, None, None, DIALOG_CLOSE),
        "cancelBtn": ("Button", 100, 30, None, dict(YES_IMAGES, text="稍后再试", textcolor="#FF1675FE")),
        "okBtn": ("Button", 100, 30, None, dict(NO_IMAGES, text="重新安装", textcolor="#FFFFFFFF")),
    },
    "exitTipWnd.xml": {
        "closebtn": ("Button", None, None, None, DIALOG_CLOSE),
        "okBtn": ("Button", 100, 30, None, dict(YES_IMAGES, text="是", textcolor="#FF1675FE")),
        "cancelBtn": ("Button", 100, 30, None, dict(NO_IMAGES, text="否", textcolor="#FFFFFFFF")),
    },
}
# Fixed content of the question dialogs: texts and the icon the user sees.
DIALOG_CONTENT = {
    "InstalledPathTipWnd.xml": ["温馨提示", "检测到计算机中已存在此软件，是否为您更新为最新版本？",
                                "res\\MessageBoxWnd\\icoWarn.png"],
    "NetworkTipWnd.xml": ["温馨提示", "当前网络环境较差，请在网络通畅时进行重试", "res\\MessageBoxWnd\\icoNetwork.png"],
    "exitTipWnd.xml": ["温馨提示", "您确定要退出安装吗？", "res\\MessageBoxWnd\\icoQuest.png"],
}
# Controls a dialog must not have ("only the close button").
DIALOG_ABSENT = {"MessageBox1Wnd.xml": ["okBtn", "cancelBtn"], "MessageBox2Wnd.xml": ["okBtn", "cancelBtn"],
                 "InstalledPathTipWnd.xml": ["captionLbl", "textLbl"], "NetworkTipWnd.xml": ["captionLbl", "textLbl"],
                 "exitTipWnd.xml": ["captionLbl", "textLbl"]}


class Report:
    def __init__(self):
        self.problems = []

    def fail(self, where, message):
        self.problems.append("%s: %s" % (where, message))


# ---- value syntaxes ------------------------------------------------------------------

def _ints(value, count):
    parts = value.split(",")
    if len(parts) != count:
        return None
    try:
        return [int(p.strip()) for p in parts]
    except ValueError:
        return None


def _valid_colour(value):
    return re.fullmatch(r"(#|0x)[0-9A-Fa-f]{8}", value) is not None


def parse_image_description(text):
    """Returns (path, {key: value}, error). A plain path has no key='value' pairs."""
    if not re.match(r"^\s*[A-Za-z0-9]+\s*=", text):
        return text.strip(), {}, None
    pairs = {}
    pos = 0
    while pos < len(text):
        while pos < len(text) and text[pos].isspace():
            pos += 1
        if pos >= len(text):
            break
        match = re.compile(r"([A-Za-z0-9]+)\s*=\s*'").match(text, pos)
        if not match:
            return pairs.get("file"), pairs, "cannot read a key='value' pair at %r" % text[pos:]
        end = text.find("'", match.end())
        if end < 0:
            return pairs.get("file"), pairs, "unbalanced quote"
        pairs[match.group(1)] = text[match.end():end]
        pos = end + 1
        if pos < len(text) and text[pos] != " ":
            return pairs.get("file"), pairs, "no space after the value of %s" % match.group(1)
    return pairs.get("file"), pairs, None


def _normalise(path):
    return path.replace("\\", "/")


# ---- the checks -------------------------------------------------------------------------

class Skin:
    def __init__(self, name, root):
        self.name = name
        self.root = root
        self.fonts = {}
        self.controls = {}          # name -> element
        self.parents = {}


def load_skin(folder, name, report):
    path = os.path.join(folder, name)
    if not os.path.isfile(path):
        report.fail(name, "skin file missing")
        return None
    data = open(path, "rb").read()
    if len(data) == 0 or len(data) > MAX_SKIN_BYTES:
        report.fail(name, "size %d is outside 1..4 MiB" % len(data))
        return None
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    try:
        data.decode("utf-8")
    except UnicodeDecodeError as e:
        report.fail(name, "not UTF-8: %s" % e)
        return None
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as e:
        report.fail(name, "not well-formed XML: %s" % e)
        return None
    skin = Skin(name, root)
    for parent in root.iter():
        for child in parent:
            skin.parents[child] = parent
    return skin


def check_vocabulary(skin, report):
    root = skin.root
    if root.tag != "Window":
        report.fail(skin.name, "root element is %s, not Window" % root.tag)
        return
    controls = [child for child in root if child.tag != "Font"]
    if len(controls) != 1:
        report.fail(skin.name, "Window must hold exactly one root control, found %d" % len(controls))
    for element in root.iter():
        where = "%s <%s name=%r>" % (skin.name, element.tag, element.get("name", ""))
        if len(element.attrib) > MAX_ATTRIBUTES:
            report.fail(where, "%d attributes; only the first %d are read" % (len(element.attrib), MAX_ATTRIBUTES))
        if element is root:
            known = WINDOW_ATTRIBUTES
        elif element.tag == "Font":
            known = FONT_ATTRIBUTES
            if skin.parents.get(element) is not root:
                report.fail(where, "Font must be a direct child of Window")
        elif element.tag in CONTROL_ELEMENTS:
            known = ELEMENT_ATTRIBUTES[element.tag] | TOLERATED_UNKNOWN.get((skin.name, element.tag), set())
        else:
            report.fail(where, "unknown element (the builder would skip it and its children)")
            continue
        for key, value in element.attrib.items():
            if key not in known:
                report.fail(where, "unknown attribute %s" % key)
            check_value(where, key, value, report, window=element is root)
        name = element.get("name")
        if name and element.tag in CONTROL_ELEMENTS:
            if name in skin.controls:
                report.fail(where, "control name used twice")
            skin.controls[name] = element


def check_value(where, key, value, report, window=False):
    bad = False
    if key == "size" and window:
        bad = _ints(value, 2) is None
    elif key in COLOUR_ATTRIBUTES:
        bad = not _valid_colour(value)
    elif key in BOOLEAN_ATTRIBUTES:
        bad = value not in ("true", "false")
    elif key in INTEGER_ATTRIBUTES:
        bad = re.fullmatch(r"-?\d+", value) is None
    elif key in RECT_ATTRIBUTES:
        bad = _ints(value, 4) is None
    elif key in SIZE_ATTRIBUTES:
        bad = _ints(value, 2) is None
    elif key in IMAGE_ATTRIBUTES:
        path, _, error = parse_image_description(value)
        if error or not path:
            report.fail(where, "image description %s=%r: %s" % (key, value, error or "no file"))
    if bad:
        report.fail(where, "%s=%r is not a valid value" % (key, value))


def check_window(skin, report):
    for key, value in WINDOWS[skin.name].items():
        if skin.root.get(key) != value:
            report.fail(skin.name, "Window %s is %r, expected %r" % (key, skin.root.get(key), value))


def check_fonts(skin, report):
    defaults = 0
    for font in skin.root.findall("Font"):
        where = "%s <Font id=%r>" % (skin.name, font.get("id"))
        if font.get("name") != FACE_NAME:
            report.fail(where, "face name %r, expected %s" % (font.get("name"), FACE_NAME))
        try:
            font_id = int(font.get("id", "-1"))
        except ValueError:
            font_id = -1
        if font_id < 0:
            report.fail(where, "no usable id (the font would be ignored)")
            continue
        if font_id in skin.fonts:
            report.fail(where, "font id defined twice")
        skin.fonts[font_id] = font
        defaults += font.get("default") == "true"
    if defaults != 1:
        report.fail(skin.name, "%d default fonts, expected 1" % defaults)
    for element in skin.root.iter():
        if element.tag != "Font" and element.get("font") is not None:
            if re.fullmatch(r"\d+", element.get("font")) and int(element.get("font")) not in skin.fonts:
                report.fail("%s <%s name=%r>" % (skin.name, element.tag, element.get("name", "")),
                            "font %s is not defined" % element.get("font"))
    if skin.name == "mainWnd.xml":
        sizes = {i: _font_size(f) for i, f in skin.fonts.items()}
        if sizes != MAIN_FONT_SIZES:
            report.fail(skin.name, "font sizes %s, expected %s" % (sizes, MAIN_FONT_SIZES))
    underlined = any(f.get("underline") == "true" for f in skin.fonts.values())
    if underlined != (skin.name in UNDERLINED_FONT_FILES):
        report.fail(skin.name, "underlined font %s" % ("present" if underlined else "missing"))


def _font_size(font):
    return int(font.get("size", "12"))


def _used_font_size(skin, element):
    reference = element.get("font")
    if reference is not None and int(reference) in skin.fonts:
        return _font_size(skin.fonts[int(reference)])
    for font in skin.fonts.values():
        if font.get("default") == "true":
            return _font_size(font)
    return 12


def _page_of(skin, element, tab_name):
    """The index of the page of the named TabLayout that holds the element, or None."""
    child = element
    parent = skin.parents.get(child)
    while parent is not None:
        if parent.tag == "TabLayout" and parent.get("name") == tab_name:
            return list(parent).index(child)
        child, parent = parent, skin.parents.get(parent)
    return None


def check_controls(skin, table, report):
    for name, (tag, width, height, page, attributes) in table.items():
        where = "%s %s" % (skin.name, name)
        element = skin.controls.get(name)
        if element is None:
            report.fail(where, "control missing")
            continue
        if element.tag != tag:
            report.fail(where, "is a %s, expected %s" % (element.tag, tag))
        for key, expected in (("width", width), ("height", height)):
            if expected is not None and element.get(key) != str(expected):
                report.fail(where, "%s is %r, expected %d" % (key, element.get(key), expected))
        if page is not None and _page_of(skin, element, page[0]) != page[1]:
            report.fail(where, "not on page %d of %s" % (page[1], page[0]))
        for key, expected in attributes.items():
            if key == "font_size":
                if _used_font_size(skin, element) != expected:
                    report.fail(where, "text in %d px, expected %d" % (_used_font_size(skin, element), expected))
                continue
            actual = element.get(key)
            if expected is None:
                if actual:
                    report.fail(where, "%s must be empty, is %r" % (key, actual))
            elif actual != str(expected):
                report.fail(where, "%s is %r, expected %r" % (key, actual, str(expected)))


def check_main_structure(skin, report):
    controls = skin.controls
    root_control = [c for c in skin.root if c.tag != "Font"]
    if root_control and root_control[0].get("name") != "winCtn":
        report.fail(skin.name, "winCtn must be the root control")
    for tab, pages in (("titleTabLt", 3), ("mainTabLt", 4)):
        if tab in controls and len(list(controls[tab])) != pages:
            report.fail(skin.name, "%s has %d pages, expected %d" % (tab, len(list(controls[tab])), pages))
    for button in ("minbtn", "closebtn"):
        if button in controls and skin.parents.get(controls[button]) is not controls.get("titleGrpCtn"):
            report.fail(skin.name, "%s must sit in titleGrpCtn" % button)
    for name in MAIN_ABSENT:
        if name in controls:
            report.fail(skin.name, "%s is not part of the shipped skin" % name)
    for page, key, value in MAIN_DECORATION:
        page_element = list(controls["mainTabLt"])[page] if "mainTabLt" in controls else None
        if page_element is None or not any(e.get(key) == value for e in page_element.iter()):
            report.fail(skin.name, "page %d lacks %s=%r" % (page, key, value))


def check_dialog_structure(skin, report):
    root_control = [c for c in skin.root if c.tag != "Font"]
    if not root_control:
        return
    # The client area may sit inside frames; it is the first layout with a white background.
    body = next((e for e in root_control[0].iter() if e.get("bkcolor") == "#FFFFFFFF"), None)
    if body is None:
        report.fail(skin.name, "client background must be white")
        return
    band = list(body)[0] if len(list(body)) else None
    if band is None or band.get("height") != "30" or band.get("bkcolor") != "#FFF5FAFE":
        report.fail(skin.name, "the first row must be the 30-pixel title band in #FFF5FAFE")
    elif skin.controls.get("closebtn") is not None and skin.parents.get(skin.controls["closebtn"]) is not band:
        report.fail(skin.name, "closebtn must sit in the title band")
    for name in DIALOG_ABSENT[skin.name]:
        if name in skin.controls:
            report.fail(skin.name, "%s must not be in this dialog" % name)
    for expected in DIALOG_CONTENT.get(skin.name, []):
        if not any(expected in (e.get("text"), e.get("bkimage")) for e in skin.root.iter()):
            report.fail(skin.name, "fixed content %r missing" % expected)


# ---- images ----------------------------------------------------------------------------

class ImageCache:
    def __init__(self, folder):
        self.folder = folder
        self.sizes = {}

    def exists(self, path):
        return os.path.isfile(os.path.join(self.folder, *path.split("/")))

    def size(self, path):
        if path not in self.sizes:
            with open(os.path.join(self.folder, *path.split("/")), "rb") as f:
                data = f.read()
            width, height = struct.unpack(">II", data[16:24])
            self.sizes[path] = (width, height)
        return self.sizes[path]


def _named_images(skin):
    """(element, attribute, path, pairs) for every image a skin names, frames included."""
    for element in skin.root.iter():
        for key in IMAGE_ATTRIBUTES:
            if element.get(key):
                path, pairs, _ = parse_image_description(element.get(key))
                if path:
                    yield element, key, _normalise(path), pairs
        frame_format = element.get("sequencebkimage")
        if frame_format:
            for index in range(int(element.get("sequencecount", "0"))):
                yield element, "sequencebkimage", _normalise(frame_format % index), {}


def check_images(skin, images, report):
    for element, key, path, pairs in _named_images(skin):
        where = "%s <%s name=%r> %s" % (skin.name, element.tag, element.get("name", ""), key)
        if not images.exists(path):
            if path not in ALLOWED_MISSING:
                report.fail(where, "image %s does not exist" % path)
            continue
        if path in ALLOWED_MISSING:
            report.fail(where, "%s is meant to be absent from the package" % path)
        expected = _expected_image_size(element, pairs)
        if expected and images.size(path) != expected:
            report.fail(where, "%s is %dx%d, the control draws it at %dx%d" % (path, *images.size(path), *expected))


def _expected_image_size(element, pairs):
    """The size an image must have so that it is drawn unscaled, or None when it may stretch."""
    if pairs.get("dest"):
        box = _ints(pairs["dest"], 4)
        return (box[2] - box[0], box[3] - box[1]) if box else None
    if pairs.get("corner") or pairs.get("source"):
        return None
    if element.get("width") and element.get("height"):
        return int(element.get("width")), int(element.get("height"))
    return None


def check_program_images(folder, images, report):
    for path in PROGRAM_IMAGES:
        if not images.exists(path):
            report.fail(path, "the program sets this image but it does not exist")
        elif images.size(path) != (600, 400):
            report.fail(path, "window background is %dx%d, expected 600x400" % images.size(path))


def check_package(folder, report):
    """The files the archive will hold: the six skins at the root and PNGs under res/."""
    files = [name for name in SKIN_FILES if os.path.isfile(os.path.join(folder, name))]
    folders = set()
    res = os.path.join(folder, "res")
    for base, dirs, names in os.walk(res):
        relative = os.path.relpath(base, folder).replace(os.sep, "/")
        folders.add(relative)
        for name in names:
            path = relative + "/" + name
            files.append(path)
            if not name.endswith(".png"):
                report.fail(path, "only PNG images belong under res/")
                continue
            try:
                with open(os.path.join(base, name), "rb") as f:
                    width, height, _ = decode_png(f.read(), pixels=False)
                if width > 1024 or height > 1024:
                    report.fail(path, "%dx%d is larger than any window" % (width, height))
            except PngError as e:
                report.fail(path, "broken PNG: %s" % e)
    if folders != PACKAGE_FOLDERS:
        report.fail("res", "folders %s, expected %s" % (sorted(folders), sorted(PACKAGE_FOLDERS)))
    if len(files) != PACKAGE_FILE_COUNT:
        report.fail("package", "%d files, expected %d" % (len(files), PACKAGE_FILE_COUNT))
    lowered = {}
    for path in files:
        if path.lower() in lowered:
            report.fail(path, "differs from %s only in letter case; lookups ignore case" % lowered[path.lower()])
        lowered[path.lower()] = path


def check_icon(folder, report):
    path = os.path.join(folder, ICON_FILE)
    if not os.path.isfile(path):
        report.fail(ICON_FILE, "missing")
        return
    data = open(path, "rb").read()
    if len(data) < 6:
        report.fail(ICON_FILE, "truncated")
        return
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    if reserved != 0 or kind != 1 or count == 0 or len(data) < 6 + 16 * count:
        report.fail(ICON_FILE, "not an icon file")
        return
    sizes = set()
    for i in range(count):
        width, height, _, _, planes, bits, length, offset = struct.unpack("<BBBBHHII", data[6 + 16 * i:22 + 16 * i])
        size = width or 256
        sizes.add(size)
        image = data[offset:offset + length]
        if len(image) != length or bits != 32:
            report.fail(ICON_FILE, "image %d is truncated or not 32-bit" % size)
        elif image.startswith(b"\x89PNG"):
            try:
                if decode_png(image, pixels=False)[:2] != (size, size):
                    report.fail(ICON_FILE, "image %d has the wrong size" % size)
            except PngError as e:
                report.fail(ICON_FILE, "image %d: %s" % (size, e))
        else:
            header_size, dib_width, dib_height = struct.unpack("<Iii", image[:12])
            stride = ((size + 31) // 32) * 4
            if (header_size, dib_width, dib_height) != (40, size, 2 * size) or \
                    length != 40 + size * size * 4 + stride * size:
                report.fail(ICON_FILE, "image %d has a bad bitmap header" % size)
    for needed in (16, 32, 48):
        if needed not in sizes:
            report.fail(ICON_FILE, "no %dx%d image" % (needed, needed))


def check_skin(skin, images, report):
    """Every check of one skin file; returns the font sizes it defines."""
    check_vocabulary(skin, report)
    check_window(skin, report)
    check_fonts(skin, report)
    if skin.name == "mainWnd.xml":
        check_controls(skin, MAIN_CONTROLS, report)
        check_main_structure(skin, report)
    else:
        check_controls(skin, DIALOG_CONTROLS[skin.name], report)
        check_dialog_structure(skin, report)
    check_images(skin, images, report)
    return {_font_size(f) for f in skin.fonts.values()}


def check_folder(folder):
    report = Report()
    images = ImageCache(folder)
    used_sizes = set()
    for name in SKIN_FILES:
        skin = load_skin(folder, name, report)
        if skin is None:
            continue
        try:
            used_sizes |= check_skin(skin, images, report)
        except (ValueError, TypeError, KeyError, IndexError, OSError) as e:
            # A value so malformed that a check could not even read it.
            report.fail(name, "unreadable value: %s: %s" % (type(e).__name__, e))
    if used_sizes and used_sizes != ALL_FONT_SIZES:
        report.fail("fonts", "sizes in use %s, expected %s" % (sorted(used_sizes), sorted(ALL_FONT_SIZES)))
    check_program_images(folder, images, report)
    check_package(folder, report)
    check_icon(folder, report)
    return report.problems


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    problems = check_folder(argv[1])
    for problem in problems:
        print(problem)
    if problems:
        print("%d problem(s) in the skin folder" % len(problems))
        return 1
    print("skin folder is consistent")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
