#!/usr/bin/env python3
"""Shows that check_skins.py catches real faults: each case breaks a copy of the
skin folder in one way and expects the check to name the fault; the untouched
copy must pass.

    check_skins_test.py <skin folder>
"""

import os
import shutil
import sys
import tempfile

sys.dont_write_bytecode = True   # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from check_skins import check_folder  # noqa: E402


def replace_in(name, old, new):
    def mutate(folder):
        path = os.path.join(folder, name)
        text = open(path, encoding="utf-8").read()
        if old not in text:
            raise AssertionError("fixture text %r not found in %s" % (old, name))
        open(path, "w", encoding="utf-8").write(text.replace(old, new, 1))
    return mutate


def delete(path):
    return lambda folder: os.remove(os.path.join(folder, path))


def copy_over(source, target):
    return lambda folder: shutil.copyfile(os.path.join(folder, source), os.path.join(folder, target))


def write_file(path, data):
    def mutate(folder):
        with open(os.path.join(folder, path), "wb") as f:
            f.write(data)
    return mutate


def edit_bytes(path, change):
    def mutate(folder):
        full = os.path.join(folder, path)
        data = bytearray(open(full, "rb").read())
        open(full, "wb").write(bytes(change(data)))
    return mutate


def in_order(*mutations):
    def mutate(folder):
        for mutation in mutations:
            mutation(folder)
    return mutate


def flip_middle_byte(data):
    data[len(data) // 2] ^= 0x55
    return data


# With the background colour already there, 64 more make 65.
MANY_ATTRIBUTES = " ".join('extra%d="x"' % i for i in range(64))

CASES = [
    ("an image the skin names is missing",
     delete("res/mainWnd/Cb2.png"), "image res/mainWnd/Cb2.png does not exist"),
    ("a frame of the animation is missing",
     delete("res/mainWnd/installBtnAnimate/000.png"), "installBtnAnimate/000.png does not exist"),
    ("a page background the program sets is missing",
     delete("res/mainWnd/bg3.png"), "bg3.png: the program sets this image"),
    ("a PNG with a damaged byte",
     edit_bytes("res/mainWnd/installPrg2.png", flip_middle_byte), "broken PNG"),
    ("a truncated PNG",
     edit_bytes("res/MessageBoxWnd/noBtn1.png", lambda d: d[:len(d) - 20]), "broken PNG"),
    ("a button image of the wrong size",
     copy_over("res/mainWnd/customeBtn1.png", "res/mainWnd/backBtn1.png"), "backBtn1.png is 88x18"),
    ("a control name in the wrong letter case",
     replace_in("mainWnd.xml", 'name="treatyCb"', 'name="TreatyCb"'), "treatyCb: control missing"),
    ("a control of the wrong width",
     replace_in("mainWnd.xml", 'name="defaultInstallBtn" width="232"', 'name="defaultInstallBtn" width="230"'),
     "defaultInstallBtn: width is '230'"),
    ("a control on the wrong page",
     in_order(replace_in("mainWnd.xml", 'name="progressLb"', 'name="oldProgressLb"'),
              replace_in("mainWnd.xml", '<Label height="60" font="5" text="安装完成" textcolor="#FF303F56" align="center" valign="center" />',
                         '<Label name="progressLb" width="360" height="60" font="1" textcolor="#FF282A43" '
                         'align="center" text="正在安装中:0%，请稍候..." />')),
     "progressLb: not on page 2 of mainTabLt"),
    ("a control name used twice",
     replace_in("mainWnd.xml", '<Control height="28" />', '<Label name="bTitleLbl3" />'), "control name used twice"),
    ("a misspelt attribute",
     replace_in("exitTipWnd.xml", "hotimage=", "hotimgae="), "unknown attribute hotimgae"),
    ("an unknown element",
     replace_in("NetworkTipWnd.xml", "<Label ", "<Lable "), "unknown element"),
    ("an image description without a space after a value",
     replace_in("mainWnd.xml", ".png' fade='255'", ".png'fade='255'"), "no space after the value of file"),
    ("a colour without its alpha byte",
     replace_in("MessageBox2Wnd.xml", 'textcolor="#FF333333"', 'textcolor="#333333"'), "is not a valid value"),
    ("a wrong dialog text",
     replace_in("exitTipWnd.xml", 'text="否"', 'text="不"'), "cancelBtn: text is '不'"),
    ("a wrong shadow attribute",
     replace_in("InstalledPathTipWnd.xml", 'shadowdarkness="10"', 'shadowdarkness="20"'),
     "Window shadowdarkness is '20'"),
    ("skin XML that is not well formed",
     replace_in("MessageBox1Wnd.xml", "</Window>", "</Windo>"), "not well-formed XML"),
    ("more than 64 attributes on one element",
     replace_in("MessageBox1Wnd.xml", "<VerticalLayout ", "<VerticalLayout %s " % MANY_ATTRIBUTES),
     "65 attributes"),
    ("a font reference that is not a number",
     replace_in("MessageBox1Wnd.xml", 'name="textLbl" padding="30,18,30,30" font="0"',
                'name="textLbl" padding="30,18,30,30" font="zero"'), "font='zero' is not a valid value"),
    ("a font of the wrong face",
     replace_in("mainWnd.xml", '<Font id="3" name="微软雅黑"', '<Font id="3" name="宋体"'), "face name '宋体'"),
    ("a stray file in the package",
     write_file("res/common/notes.png", b"\x89PNG\r\n\x1a\n"), "66 files"),
    ("a disabled image that must stay out of the package",
     copy_over("res/common/minbtn1.png", "res/common/minbtn4.png"), "minbtn4.png is meant to be absent"),
    ("a broken icon",
     edit_bytes("installer.ico", lambda d: d[:40]), "installer.ico"),
]


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    source = argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        pristine = os.path.join(scratch, "pristine")
        shutil.copytree(source, pristine)
        problems = check_folder(pristine)
        if problems:
            failures.append("the untouched folder fails: %s" % problems)
        for index, (title, mutate, expected) in enumerate(CASES):
            folder = os.path.join(scratch, "case%d" % index)
            shutil.copytree(pristine, folder)
            mutate(folder)
            problems = check_folder(folder)
            if not any(expected in problem for problem in problems):
                failures.append("%s: expected a problem containing %r, got %s" % (title, expected, problems))
    for failure in failures:
        print("FAIL", failure)
    print("%d of %d cases passed" % (len(CASES) + 1 - len(failures), len(CASES) + 1))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
