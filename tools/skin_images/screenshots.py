#!/usr/bin/env python3
"""Renders every page of the main window and every dialog to PNGs for the README.

    screenshots.py <skin_viewer program> <skin folder> <output folder>

The program dresses the main window per page at run time (page background,
back button, window buttons, progress); a skin file alone shows page 0's
dress. So for each page this script writes a copy of the skin folder whose
main skin already wears that page's dress, packs it the way the build does
(7z, LZMA2, solid) and lets the skin viewer render it headless. The dialogs
are rendered with the caption and text the installer passes to them.
"""

import os
import shutil
import subprocess
import sys
import tempfile

PRODUCT = "VanteloPDF转换器"

# file name, main-window page, (TabLayout, page) pairs, skin edits, texts
MAIN_PAGES = [
    ("main-quick-install.png", 0, [("mainTabLt", 0), ("titleTabLt", 1)],
     [('name="backBtn"', 'name="backBtn" visible="false"')], {}),
    ("main-custom-install.png", 1, [("mainTabLt", 1), ("titleTabLt", 1)],
     [('bkimage="res\\mainWnd\\bg1.png"', 'bkimage="res\\mainWnd\\bg2.png"')],
     {"installDirEdit": "C:\\Program Files (x86)\\VanteloPDF"}),
    ("main-progress.png", 2, [("mainTabLt", 2), ("titleTabLt", 0)],
     [('bkimage="res\\mainWnd\\bg1.png"', 'bkimage="res\\mainWnd\\bg3.png"'),
      ('name="titleGrpCtn"', 'name="titleGrpCtn" visible="false"'),
      ('name="installPrg"', 'name="installPrg" value="42"')],
     {"progressLb": "正在安装中:42%，请稍候..."}),
    ("main-finished.png", 3, [("mainTabLt", 3), ("titleTabLt", 2)],
     [('bkimage="res\\mainWnd\\bg1.png"', 'bkimage="res\\mainWnd\\bg4.png"')],
     {"bTitleLbl3": PRODUCT}),
]

DIALOGS = [
    ("dialog-message.png", "MessageBox1Wnd.xml",
     {"captionLbl": "温馨提示", "textLbl": "安装程序检测到" + PRODUCT + "\r\n正在运行，请退出程序后再安装"}),
    ("dialog-message-small.png", "MessageBox2Wnd.xml",
     {"captionLbl": "温馨提示", "textLbl": "当前磁盘剩余空间低于1GB，请修改安装路径"}),
    ("dialog-installed.png", "InstalledPathTipWnd.xml", {}),
    ("dialog-network.png", "NetworkTipWnd.xml", {}),
    ("dialog-exit.png", "exitTipWnd.xml", {}),
]


def pack(folder, archive):
    seven_zip = shutil.which("7zz") or shutil.which("7z")
    if seven_zip is None:
        raise SystemExit("screenshots.py: 7zz is needed to pack the skins")
    items = sorted(name for name in os.listdir(folder) if name.endswith(".xml")) + ["res"]
    subprocess.run([seven_zip, "a", "-t7z", "-m0=lzma2:d=768k", "-ms=on", "-bd", "-bso0", "-bsp0",
                    archive] + items, cwd=folder, check=True)


def render(viewer, archive, skin, out, tabs, texts):
    command = [viewer, "--package", archive, "--render", out]
    for name, page in tabs:
        command += ["--tab", "%s=%d" % (name, page)]
    for name, text in texts.items():
        command += ["--text", "%s=%s" % (name, text)]
    subprocess.run(command + [skin], check=True)
    print(out)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    viewer, source, out = os.path.abspath(argv[1]), argv[2], argv[3]
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as scratch:
        plain = os.path.join(scratch, "plain.7z")
        pack(source, plain)
        for name, skin, texts in DIALOGS:
            render(viewer, plain, skin, os.path.join(out, name), [], texts)
        for name, page, tabs, edits, texts in MAIN_PAGES:
            folder = os.path.join(scratch, "page%d" % page)
            shutil.copytree(source, folder)
            path = os.path.join(folder, "mainWnd.xml")
            text = open(path, encoding="utf-8").read()
            for old, new in edits:
                if old not in text:
                    raise SystemExit("screenshots.py: %r is not in mainWnd.xml" % old)
                text = text.replace(old, new, 1)
            open(path, "w", encoding="utf-8").write(text)
            archive = os.path.join(scratch, "page%d.7z" % page)
            pack(folder, archive)
            render(viewer, archive, "MainWnd.xml", os.path.join(out, name), tabs, texts)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
