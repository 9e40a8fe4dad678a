"""End-to-end scenarios of the pages and the setup run: the demo project
(examples/demo) walked in English and in Russian, and the ways a run ends
before or instead of its pages. scenarios.py runs them with its common
checks (exit code 0, nothing left in the temporary folder).

Each walk takes a screenshot per page (build/e2e/<arch>/<scenario>/<page>.png);
scripts/readme-shots copies three of them next to the README.
"""
import os
import shutil

import harness
import pixels

ROOT = harness.ROOT
DEMO = os.path.join(ROOT, "examples", "demo")
PASSWORD = "osin"

# What identifies each page of the demo, by language: a piece of its text.
ENGLISH = {
    "language": "Please choose the language",
    "welcome": "Welcome to the setup of Osin Demo",
    "license": "Please read the license agreement",
    "readme": "Please read the following notes",
    "password": "This installation is protected",
    "dir": "Setup will install Osin Demo into the folder below",
    "group": "Setup will add the program's icons",
    "start": "Setup is ready to install",
    "progress": "is being installed",
    "finish": "has been installed on your computer",
    "notfinish": "has not been installed",
}
RUSSIAN = {
    "language": "Выберите язык установки",
    "welcome": "Вас приветствует программа установки Осин Демо",
    "license": "Прочтите лицензионное соглашение",
    "readme": "Прочтите эти замечания",
    "password": "Установка защищена",
    "dir": "Осин Демо будет установлен в указанную ниже папку",
    "group": "Значки программы будут добавлены",
    "start": "Всё готово к установке Осин Демо",
    "notfinish": "Осин Демо не установлен",
}
RUSSIAN_LOCALE = {"LANG": "ru_RU.UTF-8", "LC_ALL": "ru_RU.UTF-8"}

BACK, NEXT, CANCEL = 101, 102, 103
# Destinations the destination page refuses: a name the system would cut,
# a share that is not there, a name too long for a folder (262 characters).
UNUSABLE = ("C:\\Apps...", "\\\\osin-nohost\\share",
            "C:\\" + "\\".join("Long folder name %02d" % i for i in range(13)))
YES, NO, OK = 6, 7, 1


def demo_setup(run_pack, name="demo"):
    """The demo project packed as a setup with its password."""
    return run_pack(name, DEMO, ["--password", PASSWORD])


def programs_menus():
    """The Linux folders of the common and the user's Programs menu in the prefix."""
    drive = os.path.join(harness.wine_prefix(), "drive_c")
    common = os.path.join(drive, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs")
    users = os.path.join(drive, "users")
    user = [u for u in sorted(os.listdir(users)) if u != "Public"][0]
    own = os.path.join(users, user, "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs")
    return common, own


class Groups:
    """Program groups made for a walk: one in both menus, one in each."""

    SHARED, COMMON, OWN = "Osin Shared Group", "Osin Common Group", "Osin Own Group"

    def __enter__(self):
        common, own = programs_menus()
        self.made = [os.path.join(common, self.SHARED), os.path.join(own, self.SHARED),
                     os.path.join(common, self.COMMON), os.path.join(own, self.OWN)]
        for folder in self.made:
            os.makedirs(folder, exist_ok=True)
        return self

    def __exit__(self, *_):
        for folder in self.made:
            shutil.rmtree(folder, ignore_errors=True)


def page(texts, name, shot=None, show=300):
    """Waits for the page NAME, lets it show for SHOW ms and takes its screenshot."""
    return ["wait-text %s 30000" % texts[name], "sleep %d" % show, "sync %s" % (shot or name)]


def going_away(look):
    """Whether LOOK caught a page hiding its controls as it went away: its
    Next hidden, or on a page without one (the licence's, the progress
    page), a button other than Back."""
    if NEXT in look.controls:
        return NEXT in look.hidden
    return any(c[0] == "Button" and i != BACK and i in look.hidden for i, c in look.controls.items())


def page_with(transcript, text):
    """The last appearance of the page showing TEXT (while it was visible).
    A look caught while the page fills its lists (an item without its text)
    or while it goes away (hiding its controls one by one) counts only when
    there is no other."""
    pages = [w for w in transcript.windows
             if any(text in (c[1] or "") and i not in w.hidden for i, c in w.controls.items())]
    transcript.expect(pages, "no page showed %r" % text)
    whole = [w for w in pages if not going_away(w) and
             not any("|" in (c[1] or "") and "" in c[1].split("|") for c in w.controls.values())]
    return (whole or pages)[-1]


def walk_english(run, run_pack):
    """The demo in English: Back and Next, a wrong then the right password,
    the typed-path rules of the destination page, a program group present in
    both Programs menus listed once, the licence window closed and the
    question answered No, Cancel answered with Esc (the setup goes on), No
    and then Yes, the final page of an unfinished setup."""
    e = ENGLISH
    script = ["start " + harness.windows_path(demo_setup(run_pack))]
    script += page(e, "language") + ["press %d" % NEXT]
    script += page(e, "welcome") + ["press %d" % BACK]
    script += ["wait-text %s 30000" % e["language"], "press %d" % NEXT]
    script += ["wait-text %s 30000" % e["welcome"], "press %d" % NEXT]
    # Closing the window asks once; No keeps the licence open.
    script += page(e, "license") + ["close", "wait-text abort setup 30000", "press %d" % NO, "sleep 500",
                                    "expect-text %s" % e["license"], "press 105"]
    script += page(e, "readme") + ["press %d" % NEXT]
    script += page(e, "password") + ["set-text 106 wrong", "press %d" % NEXT,
                                     "wait-text Incorrect password! 30000", "sync wrong_password", "press %d" % OK,
                                     "wait-text %s 30000" % e["password"], "sleep 300", "expect-text %s" % e["password"],
                                     "set-text 106 " + PASSWORD, "press %d" % NEXT]
    # Unusable destinations: told, and kept on the page.
    script += page(e, "dir")
    for typed in UNUSABLE:
        script += ["set-text 106 " + typed, "press %d" % NEXT, "wait-new #32770 30000", "press %d" % OK, "sleep 300"]
    script += ["set-text 106 C:\\Apps\\", "press %d" % NEXT]
    script += page(e, "group") + ["select 107 " + Groups.SHARED, "sleep 300", "sync group_chosen",
                                  "press %d" % NEXT]
    script += page(e, "start", "start_apps") + ["press %d" % BACK, "wait-text %s 30000" % e["group"],
                                                "press %d" % BACK, "wait-text %s 30000" % e["dir"],
                                                "sync dir_again", "set-text 106 C:\\", "press %d" % NEXT,
                                                "wait-text %s 30000" % e["group"], "press %d" % NEXT]
    script += page(e, "start", "start_root") + ["press %d" % CANCEL, "wait-text abort setup 30000",
                                                "sync cancel_question", "key 27", "sleep 1000",
                                                "expect-text %s" % e["start"], "press %d" % CANCEL,
                                                "wait-text abort setup 30000", "press %d" % NO, "sleep 500",
                                                "expect-text %s" % e["start"], "press %d" % CANCEL,
                                                "wait-text abort setup 30000", "press %d" % YES]
    script += page(e, "notfinish") + ["press 104", "wait-exit 60000"]
    with Groups():
        t = run("demo_english", script)

    language = page_with(t, e["language"])
    t.expect(BACK in language.hidden, "Back is shown on the first page")
    names, selected = language.items(106)
    t.expect(names == ["English (United States)", "Russian (Russia)"] and selected == "English (United States)",
             "language list %r, selected %r" % (names, selected))
    t.expect(BACK not in page_with(t, e["welcome"]).hidden, "Back is hidden on the second page")
    t.expect(page_with(t, e["welcome"]).caption == "Osin Demo setup", "caption of the pages")
    license = page_with(t, e["license"])
    t.expect(license.text(108).startswith("OSIN DEMO LICENSE AGREEMENT"), "licence text %r" % license.text(108))
    t.expect(license.text(105) == "Yes" and license.text(106) == "No", "licence buttons")
    t.expect("The password of this setup" in page_with(t, e["readme"]).text(106), "readme text")
    boxes = t.message_boxes()
    t.expect(boxes[1] == "Incorrect password!", "boxes %r" % boxes)
    unusable = [b.split("\r")[0] for b in boxes[2:5]]
    t.expect(unusable == list(UNUSABLE), "unusable folders %r" % boxes)
    dirs = [w.text(106) for w in t.windows if w.text(108) and e["dir"] in w.text(108)]
    t.expect(dirs[0] == "C:\\%s\\Osin Demo" % harness.program_files(), "destination offered %r" % dirs[0])
    # Typed with a backslash, offered again without it.
    t.expect("C:\\Apps" in dirs, "the typed folder kept its backslash: %r" % dirs)
    t.expect(page_with(t, e["dir"]).text(105) == " Destination folder ", "quoted group box label keeps its blanks")
    starts = [w.text(105) for w in t.windows if w.text(105) and e["start"] in w.text(105)]
    t.expect(any("into C:\\Apps.\r" in s for s in starts), "start page texts %r" % starts)
    t.expect(any("into C:\\.\r" in s for s in starts), "a drive root lost its backslash: %r" % starts)
    group = page_with(t, e["group"])
    names, selected = group.items(107)
    t.expect(names.count(Groups.SHARED) == 1 and Groups.COMMON in names and Groups.OWN in names,
             "program groups %r" % names)
    # Choosing a group fills the edit, and the group is kept for the next visit.
    t.expect(any(w.items(107)[1] == Groups.SHARED and w.text(106) == Groups.SHARED for w in t.windows),
             "choosing a group did not fill the edit")
    t.expect(group.text(106) == Groups.SHARED, "the group on the last visit %r" % group.text(106))
    questions = [b for b in boxes if b.endswith("Do you want to abort setup?")]
    t.expect(set(questions) == {"The Osin Demo is not completely installed on your computer.\rDo you want to abort setup?"},
             "cancel question %r" % boxes)
    asked = {w.handle for w in t.windows if w.text(0xFFFF) == questions[0]}
    t.expect(len(asked) == 4, "%d cancel questions, expected 4 (close, Cancel three times)" % len(asked))
    final = page_with(t, e["notfinish"])
    t.expect(final.text(104) == "OK" and final.caption == "Osin Demo setup", "final page %r" % final)
    screen = t.screen
    x, y, w, h = language.rect
    t.expect(abs(x - (screen[0] - w) // 2) <= 1 and abs(y - (screen[1] - h) // 2) <= 1,
             "page at %r on a %r screen is not centred" % (language.rect, screen))


def walk_russian(run, run_pack):
    """The demo on a Russian system: the user's language chosen from the
    installed locales, every page in Russian (code page 1251, the Cyrillic
    fonts), the Russian licence and readme, and the licence declined at the
    end with Esc typed in its text, which has the focus (the text box turns
    the key into a close of the page): the pages end at once without the
    abort question."""
    r = RUSSIAN
    script = ["start " + harness.windows_path(demo_setup(run_pack, "demo-ru"))]
    for name in ("language", "welcome"):
        script += page(r, name) + ["press %d" % NEXT]
    script += page(r, "license") + ["press 105"]
    script += page(r, "readme") + ["press %d" % NEXT]
    script += page(r, "password") + ["set-text 106 " + PASSWORD, "press %d" % NEXT]
    for name in ("dir", "group"):
        script += page(r, name) + ["press %d" % NEXT]
    script += page(r, "start")
    for name in ("group", "dir", "password", "readme", "license"):
        script += ["press %d" % BACK, "wait-text %s 30000" % r[name]]
    script += ["key 27"] + page(r, "notfinish") + ["press 104", "wait-exit 60000"]
    t = run("demo_russian", script, env=RUSSIAN_LOCALE, encoding="cp1251")
    names, selected = page_with(t, r["language"]).items(106)
    t.expect(selected == "Russian (Russia)", "the user's language is not preselected: %r" % selected)
    license = page_with(t, r["license"])
    t.expect(license.text(108).startswith("ЛИЦЕНЗИОННОЕ СОГЛАШЕНИЕ"), "licence %r" % license.text(108))
    t.expect(license.caption == "Установка Осин Демо", "caption %r" % license.caption)
    t.expect("Пароль этой установки" in page_with(t, r["readme"]).text(106), "readme")
    t.expect(not t.message_boxes(), "declining asked: %r" % t.message_boxes())


def walk_russian_western(run, run_pack):
    """The demo in Russian on a system whose code page is 1252 (the prefix's
    own locale), as a user there picks it: every page, the abort question
    and the final page show the Russian texts of Rus.lng (code page 1251),
    while a folder typed with a letter of the system's code page comes back
    to the destination page as typed."""
    r = RUSSIAN
    folder = "C:\\Café"
    script = ["utf8", "start %s /LANG=rus" % harness.windows_path(demo_setup(run_pack, "demo-ru-western"))]
    for name in ("language", "welcome"):
        script += page(r, name) + ["press %d" % NEXT]
    script += page(r, "license") + ["press 105"]
    script += page(r, "readme") + ["press %d" % NEXT]
    script += page(r, "password") + ["set-text 106 " + PASSWORD, "press %d" % NEXT]
    script += page(r, "dir") + ["set-text 106 " + folder, "press %d" % NEXT]
    script += page(r, "group") + ["press %d" % BACK, "wait-text %s 30000" % r["dir"], "sleep 300",
                                  "press %d" % CANCEL, "wait-text Прервать установку? 30000", "press %d" % YES]
    script += page(r, "notfinish") + ["press 104", "wait-exit 60000"]
    t = run("demo_russian_western", script, encoding="utf-8")
    license = page_with(t, r["license"])
    t.expect(license.caption == "Установка Осин Демо", "caption %r" % license.caption)
    t.expect(license.text(108).startswith("ЛИЦЕНЗИОННОЕ СОГЛАШЕНИЕ"), "licence %r" % license.text(108))
    t.expect(license.text(105) == "Да" and license.text(106) == "Нет", "licence buttons")
    t.expect(page_with(t, r["dir"]).text(106) == folder, "the typed folder came back as %r"
             % page_with(t, r["dir"]).text(106))
    t.expect(t.message_boxes() == ["Осин Демо установлен не полностью.\rПрервать установку?"],
             "boxes %r" % t.message_boxes())
    # The taskbar's name of the background window.
    titles = [w.caption for w in t.seen(cls="OsinMainWindow")]
    t.expect(titles and titles[-1] == "Осин Демо", "background titles %r" % titles)


# Past 1023 characters, with a variable to expand: the page shows it whole.
LONG_WELCOME = " The %ProgramName% setup" * 50 + " ends here."
LANGUAGE_FILE = ("[Strings]\r\n1=Abort the %ProgramName%?\r\n10=You need administrator rights.\r\n"
                 "13=This operating system is not supported!\r\n[Dialogs]\r\nCaption=%ProgramName% setup\r\n"
                 "102=Next >\r\n103=Cancel\r\n[DLG_WELCOME]\r\nTitle=Welcome\r\n105=Welcome to the test." + LONG_WELCOME + "\r\n"
                 "[DLG_NOTFINISH]\r\n106=Not installed.\r\n[DLG_PASSWORD]\r\n105=Password for the test\r\n"
                 "[DLG_REBOOT]\r\n105=Restart for the test\r\n").encode("ascii")


def project(config):
    """A small project: CONFIG's lines in Osin.ini beside the English texts,
    and a folder whose name begins with a dot, which the clean-up removes too."""
    # A run whose pages all end with Next installs (nothing, without
    # scripts) into its destination folder: one in the prefix, not the
    # default "Test" below the current folder.
    config = [line + "\r\nDefaultInstallPath=C:\\Osin Test\\Check" if line == "[Config]" else line
              for line in config]
    ini = "[Variables]\r\nProgramName=Check\r\n" + "\r\n".join(config) + "\r\n"
    return {"Presetup/Osin.ini": ini.encode("ascii"), "Presetup/Enu.lng": LANGUAGE_FILE,
            "Presetup/.svn/entries": b"kept by a careless publisher\r\n"}


def run_ends(run, packed_setup):
    """The ways a run ends before or instead of its pages, each with its
    clean-up: a system outside SupportedOS, a PreRunApp that exits 1 (after
    one that exits 0 behind its message), a page name that names no page (the final
    page it leads to ends on Esc without the abort question), a restart the project
    asks for (a program group typed, then Back over the language page and Next again:
    the group is kept; the password page of an archive without test.psw takes any
    password; the restart page offers Yes first, and Yes ends the run without the
    final page), and
    where each DialogPosition puts a page, with a page title's shadow in a system colour
    and a welcome text too long for any fixed room. Wine runs its programs with administrator
    rights, so CheckAdminRights=1 lets the run go on here."""
    # SupportedOS: Wine is of the NT line; "nt" only would pass.
    setup = packed_setup("os", project(["[Config]", "SupportedOS=9x,95,98, nt", "PreInstallDialogSequence=DLG_WELCOME"]))
    t = run("run_ends_os", ["start " + harness.windows_path(setup), "wait-text not supported 60000", "sync os",
                            "press %d" % OK, "wait-exit 60000"])
    t.expect(t.message_boxes() == ["This operating system is not supported!"], "boxes %r" % t.message_boxes())
    t.expect(not t.seen(caption="Check setup"), "a page was shown")

    marker = os.path.join(harness.wine_prefix(), "drive_c", "osin-prerun.txt")
    if os.path.exists(marker):
        os.remove(marker)
    setup = packed_setup("prerun", project([
        "[Config]", "PreInstallDialogSequence=DLG_WELCOME", "[Display]", "ShowMainWindow=1",
        "[PreRunApp]", "First=cmd.exe,/c echo ran> C:\\osin-prerun.txt,,0,Checking the machine...",
        "Second=cmd.exe,/c exit 1,,0"]))
    t = run("run_ends_prerun", ["start " + harness.windows_path(setup), "wait-exit 60000"])
    t.expect(os.path.exists(marker), "the first PreRunApp did not run")
    # The message window draws its text itself: its static text control
    # beside the icon tells it from the unpacking window.
    t.expect([w for w in t.windows if w.text(100) == "MAINICON" and w.controls.get(101, ("",))[0] == "Static"],
             "no message window while the first PreRunApp ran")
    os.remove(marker)
    t.expect(not t.message_boxes() and not t.seen(caption="Check setup"), "the run did not end silently")

    setup = packed_setup("nopage", project([
        "[Config]", "CheckAdminRights=1", "PreInstallDialogSequence=DLG_WELCOME, DLG_DIR",
        "[Display]", "DialogPosition=0,2"]))
    t = run("run_ends_nopage", ["start " + harness.windows_path(setup), "wait-text Welcome to the test 60000",
                                "sync welcome", "press %d" % NEXT, "wait-text no page of that name 30000",
                                "sync no_page", "press %d" % OK, "wait-text Not installed 30000", "sync final",
                                "key 27", "wait-exit 60000"])
    t.expect(t.message_boxes() == ['Cannot show the page " DLG_DIR": the setup program has no page of that name.'],
             "boxes %r" % t.message_boxes())
    expect_place(t, "Welcome to the test", lambda W, H, w, h: (W // 16, H - H // 16 - h))

    # The restart itself is left out (/NORESTART), and the run log says so.
    log = os.path.join(harness.wine_prefix(), "drive_c", "osin-restart.txt")
    # The group typed before going back over the language page, left
    # with its language unchanged, is still there.
    setup = packed_setup("restart", project(["[Config]", "NeedReboot=1",
                                             "PreInstallDialogSequence=DLG_GROUP,DLG_LANGUAGE,DLG_PASSWORD"]))
    t = run("run_ends_restart", ["start %s /NORESTART /LOG=C:\\osin-restart.txt" % harness.windows_path(setup),
                                 "wait-window Check setup 60000", "sleep 300", "set-text 106 Mine Group",
                                 "press %d" % NEXT, "wait-text English (USA) 30000", "press %d" % BACK,
                                 "wait-new Check setup 30000", "sleep 500", "expect-text Mine Group",
                                 "press %d" % NEXT, "wait-text English (USA) 30000", "press %d" % NEXT,
                                 "wait-text Password for the test 60000", "press %d" % NEXT,
                                 "wait-text Restart for the test 60000", "sleep 500", "sync restart",
                                 "press %d" % NEXT, "wait-exit 60000"])
    with open(log, encoding="cp1252") as f:
        lines = f.read().splitlines()
    os.remove(log)
    t.expect("Restart needed, left out by /NORESTART." in lines and "Installed." in lines, "run log %r" % lines)
    t.expect(not t.message_boxes() and not [w for w in t.windows if w.text(104) == "OK"],
             "boxes %r, or a final page after the restart page" % t.message_boxes())
    restart = page_with(t, "Restart for the test")
    t.expect(BACK in restart.hidden, "Back on the restart page, the first after the installation")

    for name, position, place in (("right", "2,0", lambda W, H, w, h: (W - W // 16 - w, H // 16)),
                                  # Any other number: the edge; not a number: 1.
                                  ("edge", "9,x", lambda W, H, w, h: (0, (H - h) // 2))):
        # The header bitmap is cut short: the header keeps its plain face,
        # with nothing drawn from beyond the file's end.
        # A negative colour names a system colour: white for the window
        # background here, not the near black its low byte would be.
        files = project(["[Config]", "PreInstallDialogSequence=DLG_WELCOME", "[Display]",
                         "DialogPosition=" + position, "ShowFinalDialog=0", "DialogTitleShadowColor=$80000005",
                         "[DialogBitmap]", "DLG_WELCOME=cut.bmp"])
        files["Presetup/cut.bmp"] = pixels.bmp(100, 100, lambda x, y: (200, 0, 0))[:300]
        setup = packed_setup("place-" + name, files)
        t = run("run_ends_place_" + name, ["start " + harness.windows_path(setup),
                                           "wait-text Welcome to the test 60000", "sleep 500", "sync welcome",
                                           "press %d" % NEXT, "wait-exit 60000"])
        expect_place(t, "Welcome to the test", place)
        x, y, w, h = page_with(t, "Welcome to the test").rect
        image = pixels.load(os.path.join(t.folder, "welcome.png"))
        face = image.at(x + w // 2, y + h - 8)
        header = set(image.row(y + h // 6, x + 20, x + w - 20))
        t.expect(header == {face}, "header of a damaged bitmap shows %r, the page's face is %r" % (header, face))
        title = [image.at(px, py) for py in range(y, y + h // 6) for px in range(x + 14, x + 150)]
        t.expect((255, 255, 255) in title and (5, 0, 0) not in title, "title shadow not in the system colour")
        welcome = page_with(t, "Welcome to the test").text(105)
        t.expect(welcome == "Welcome to the test." + LONG_WELCOME.replace("%ProgramName%", "Check"),
                 "welcome text of %d characters, cut or not expanded" % len(welcome))


def expect_place(t, text, place):
    x, y, w, h = page_with(t, text).rect
    expected = place(t.screen[0], t.screen[1], w, h)
    t.expect((x, y) == expected, "page at %r, expected %r on a %r screen" % ((x, y), expected, t.screen))
