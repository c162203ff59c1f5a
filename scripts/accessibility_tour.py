"""The accessibility tour's driver (run by scripts/accessibility-tour.sh inside a session bus)."""
import os
import subprocess
import sys
import time
import urllib.request

import pyatspi

failures = []


def eventually(what, probe, seconds=20):
    """probe()'s first true answer within seconds, else exits naming what was waited for."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            answer = probe()
        except Exception:  # the tree changes while it is read
            answer = None
        if answer:
            return answer
        time.sleep(0.1)
    sys.exit(f"gave up waiting for {what}")


def find(node, predicate):
    if node is None:
        return None
    if predicate(node):
        return node
    for child in node:
        found = find(child, predicate)
        if found:
            return found
    return None


def named(role, name):
    return lambda node: node.getRoleName() == role and node.name == name


def press(node):
    node.queryAction().doAction(0)


def check(what, got, expected):
    print(f"{what}: {got!r}")
    if got != expected:
        failures.append(f"{what}: {got!r}, expected {expected!r}")


def status_fields(window):
    bar = find(window, lambda node: node.getRoleName() == "status bar")
    return [field.name for field in bar if field.getRoleName() == "label"]


def site_answers():
    with urllib.request.urlopen(os.environ["TOUR_BASE"] + "/a.html", timeout=1) as answer:
        return answer.status == 200


eventually("the loopback site", site_answers)
subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
env = dict(os.environ, HOME=os.environ["TOUR_HOME"], QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
program = subprocess.Popen([os.environ["TALLYVANE_PROGRAM"]], env=env)
base = os.environ["TOUR_BASE"]


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Tallyvane":
            return app
    return None


def window(title):
    return eventually(f'the window "{title}"', lambda: find(application(), named("dialog", title))
                      or find(application(), named("alert", title)) or find(application(), named("frame", title)))


try:
    main = window("Tallyvane")
    press(eventually("the menu item", lambda: find(main, lambda n: n.getRoleName() == "menu item"
                                                   and n.name.startswith("Check URLs... (Enter Manually)"))))
    entry = window("Check URLs (Enter URLs Manually)")
    urls = [base + "/a.html", base + "/b.html", base + "/missing", base + "/folder"]
    find(entry, lambda n: n.getRoleName() == "text").queryEditableText().setTextContents("\n".join(urls))
    press(find(entry, named("push button", "Start")))
    done = window("Success")
    check("the end of the crawl", find(done, lambda n: n.getRoleName() == "label").name,
          "Tallyvane has finished checking all URLs")
    press(find(done, named("push button", "OK")))

    fields = status_fields(main)
    print(f"status fields: {fields}")
    check("URLs field", fields[1], "URLs: 4")
    check("Responses field", fields[2], "Responses: 5")  # /folder redirects to /folder/
    check("Filtered URLs field", fields[0], "Filtered URLs: 4")

    find(main, named("text", "Search URLs")).queryEditableText().setTextContents("MISS")
    eventually("the search to narrow the list", lambda: status_fields(main)[0] == "Filtered URLs: 1")
    table = find(main, named("table", "Results")).queryTable()
    check("the one row the search leaves",
          [table.getAccessibleAt(0, column).name for column in (0, 2)], [base + "/missing", "404"])

    tabs = find(main, lambda n: n.getRoleName() == "page tab list")
    press(find(tabs, named("page tab", "Overview")))
    overview = find(main, named("filler", "Overview"))
    classes = find(overview, named("filler", "URLs per status class"))
    check("the status class chart", classes.description, "2xx: 2, 3xx: 1, 4xx: 1, 5xx: 0, no response: 0")
    kinds = find(overview, named("filler", "Redirect chain kinds"))
    print(f"chain kinds chart: {kinds.description!r}")
finally:
    program.terminate()
    program.wait(10)

if failures:
    print("\n".join(["FAILED:"] + failures))
    sys.exit(1)
print("Every reading is as the window shows it.")
