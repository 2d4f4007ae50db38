#!/usr/bin/python3
"""Drives the real program in a real X window from outside, as a person would: it finds the
controls through the accessibility tree (AT-SPI), clicks and types with the X test extension
(xdotool), and reads the answers from the dialogs that appear. Then it checks the target
database and the Paradox folder.

Usage: journey.py PROGRAM SAMPLES_FOLDER   (run by run-journey.sh inside Xvfb and D-Bus)
"""
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

import pyatspi

PROGRAM, SAMPLES = sys.argv[1], sys.argv[2]


def log(text):
    print(f"journey: {text}", flush=True)


def wait_for(what, probe, timeout=30):
    deadline = time.time() + timeout
    while time.time() < deadline:
        try:
            found = probe()
        except Exception:  # the tree changes under us while windows open and close
            found = None
        if found:
            return found
        time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}")


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == "morvane":
            return app
    return None


def find(name, role=None, root=None):
    root = root or application()
    if root is None:
        return None
    return pyatspi.findDescendant(
        root, lambda a: a is not None and a.name == name and (role is None or a.getRoleName() == role))


def showing(accessible):
    return accessible is not None and accessible.getState().contains(pyatspi.STATE_SHOWING)


def xdotool(*arguments):
    subprocess.run(["xdotool", *map(str, arguments)], check=True)


def click(accessible):
    x, y, w, h = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", x + w // 2, y + h // 2, "click", "1")


def press(name):
    button = wait_for(f"the button {name!r}", lambda: showing(find(name, "push button")) and find(name, "push button"))
    click(button)


def type_into(name, text):
    box = wait_for(f"the box {name!r}", lambda: find(name, "text"))
    click(box)
    xdotool("key", "ctrl+a")
    xdotool("type", "--delay", "5", text)


def dialog_text():
    """The text of the dialog in front, or None."""
    app = application()
    for window in app:
        if window is None or window.getRoleName() not in ("dialog", "alert") or not showing(window):
            continue
        labels = pyatspi.findAllDescendants(window, lambda a: a is not None and a.getRoleName() == "label")
        return "\n".join(label.name for label in labels if label.name)
    return None


def answer_dialog(expected, keys=("Return",)):
    text = wait_for(f"a dialog saying {expected!r}", lambda: dialog_text())
    if expected not in text:
        raise AssertionError(f"the dialog says {text!r}, not {expected!r}")
    for key in keys:
        xdotool("key", key)
    wait_for("the dialog to close", lambda: dialog_text() is None)
    log(f"dialog: {text.splitlines()[0]}")


def box_text(name):
    box = find(name, "text")
    return box.queryText().getText(0, -1) if box else None


def list_entries(name):
    listing = find(name, "list")
    return [item.name for item in listing] if listing else []


def choose_entry(list_name, entry):
    listing = wait_for(f"the list {list_name!r}", lambda: find(list_name, "list"))
    item = wait_for(f"{entry!r} in {list_name!r}", lambda: next((i for i in listing if i.name == entry), None))
    click(item)


def rename(list_name, button, entry, new_name):
    """Chooses an entry, presses the side's rename button and answers the input box."""
    choose_entry(list_name, entry)
    press(button)
    wait_for("the input box", lambda: dialog_text())
    xdotool("key", "ctrl+a")
    xdotool("type", new_name)
    xdotool("key", "Return")
    wait_for(f"{new_name} in {list_name!r}", lambda: new_name in list_entries(list_name))


def main():
    work = tempfile.mkdtemp(prefix="morvane-journey-")
    folder = os.path.join(work, "paradox")
    shutil.copytree(SAMPLES, folder)
    database = os.path.join(work, "target.sqlite")
    driver = next(p for p in ("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                              "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so") if os.path.exists(p))
    with open(os.path.join(work, "odbc.ini"), "w") as ini:
        ini.write(f"[Journey]\nDriver = {driver}\nDatabase = {database}\n")
    environment = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
                       ODBCINI=os.path.join(work, "odbc.ini"), QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                       QT_ACCESSIBILITY="1")
    environment.pop("QT_QPA_PLATFORM", None)
    # A program that cannot reach the X server straight after it started is started again.
    for attempt in range(3):
        program = subprocess.Popen([PROGRAM], env=environment)
        time.sleep(1)
        if program.poll() is None:
            break
        log(f"the program ended at once (exit {program.returncode}); starting it again")
    try:
        wait_for("the connection screen", lambda: showing(find("Paradox Folder", "text")), timeout=60)
        log("the connection screen is up")
        # A first run: both boxes empty; the sample button finds the tables beside the program.
        assert box_text("Paradox Folder") == "" and box_text("Data Source Name") == ""
        press("Load Sample/Example Database")
        samples = os.path.join(os.path.dirname(os.path.realpath(PROGRAM)), "Samples")
        wait_for("the sample folder in the box", lambda: box_text("Paradox Folder") == samples)
        press("Test Paradox Connection")
        answer_dialog("Connection successful.")
        log(f"the sample folder {samples} holds tables")

        type_into("Paradox Folder", folder)
        type_into("Data Source Name", "Journey")
        press("Test Paradox Connection")
        answer_dialog("Connection successful.")
        press("Test Data Source Connection")
        answer_dialog("Connection successful.")
        type_into("Data Source Name", "NoSuchSource")
        press("Test Data Source Connection")
        answer_dialog("Could not connect. Please check with your administrator.")
        type_into("Data Source Name", "Journey")

        press("Next >")
        wait_for("the tables screen", lambda: showing(find("Paradox Tables", "list")))
        assert list_entries("Paradox Tables") == ["CUSTOMER", "EVENTS", "ORDERS"], list_entries("Paradox Tables")
        log("the tables screen lists " + ", ".join(list_entries("Paradox Tables")))
        stop = find("Stop the transfer", "push button")
        assert showing(stop) and not stop.getState().contains(pyatspi.STATE_ENABLED), "Stop is not there, or enabled with no transfer"
        log("Stop is there, off while no transfer runs")

        choose_entry("Paradox Tables", "CUSTOMER")
        press("Send Table/s To Sybase iAny")
        wait_for("CUSTOMER in the target list", lambda: "CUSTOMER" in list_entries("Sybase iAnywhere Tables"))
        with sqlite3.connect(database) as db:
            rows = db.execute('SELECT "Name", "City" FROM "CUSTOMER" ORDER BY rowid').fetchall()
        assert len(rows) == 5 and rows[3] == ("Café Öresund", "Malmö"), rows
        log(f"CUSTOMER arrived with {len(rows)} rows")

        rename("Paradox Tables", "Rename Table (Paradox)", "EVENTS", "FESTIVALS")
        assert os.path.exists(os.path.join(folder, "FESTIVALS.DB")) and not os.path.exists(os.path.join(folder, "EVENTS.DB"))
        log("EVENTS.DB became FESTIVALS.DB")

        rename("Sybase iAnywhere Tables", "Rename Table (Sybase iAnywhere)", "CUSTOMER", "CLIENTS")

        choose_entry("Sybase iAnywhere Tables", "CLIENTS")
        press("Delete Table/s (Sybase iAnywhere)")
        wait_for("an empty target list", lambda: list_entries("Sybase iAnywhere Tables") == [])
        with sqlite3.connect(database) as db:
            # The program's own journal, with the record of the copy, stays.
            tables = [r[0] for r in db.execute(
                "SELECT name FROM sqlite_master WHERE type='table' AND name <> 'morvane_journal'")]
        assert tables == [], tables
        log("the target table was renamed and dropped")

        choose_entry("Paradox Tables", "ORDERS")
        press("Delete Table/s (Paradox)")
        wait_for("ORDERS to leave the list", lambda: "ORDERS" not in list_entries("Paradox Tables"))
        assert sorted(os.listdir(folder)) == ["CUSTOMER.DB", "CUSTOMER.MB", "FESTIVALS.DB"], os.listdir(folder)
        log("ORDERS.DB was deleted; the folder holds " + ", ".join(sorted(os.listdir(folder))))

        press("< Back")
        wait_for("the connection screen again", lambda: showing(find("Paradox Folder", "text")))
        log("1 passed, 0 failed")
        return 0
    finally:
        program.terminate()
        try:
            program.wait(10)
        except subprocess.TimeoutExpired:
            program.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
