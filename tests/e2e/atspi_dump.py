"""atspi_dump.py [--app NAME | --text NAME] [--depth N] [--timeout SECONDS]: the
accessibility trees (role, name, states, children; N levels below each
application, 64 by default) of the applications (named NAME) of the session in
the environment as JSON, or the contents of NAME's first text field; waits up to
the time-out for such an application. Tests run it as a child, so
that their own process never connects to a desktop. Exit status: 0 done, 1 not
found or failed, 2 usage."""

import argparse
import json
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402


def read(call, default=""):
    try:
        return call()
    except GLib.Error:
        return default


def children(node):
    count = read(node.get_child_count, 0)
    return [c for c in (read(lambda: node.get_child_at_index(i), None) for i in range(count)) if c]


def tree(node, depth=0):
    states = read(lambda: node.get_state_set().get_states(), [])
    return {"role": read(node.get_role_name), "name": read(node.get_name),
            "states": [state.value_nick for state in states],
            "children": [tree(c, depth + 1) for c in children(node)] if depth < args.depth else []}


def first_text(node, depth=0):
    if read(node.get_role_name) == "text":
        return node
    for child in children(node) if depth < 32 else []:
        if found := first_text(child, depth + 1):
            return found
    return None


parser = argparse.ArgumentParser()
which = parser.add_mutually_exclusive_group()
which.add_argument("--app")
which.add_argument("--text")
parser.add_argument("--depth", type=int, default=64)
parser.add_argument("--timeout", type=float, default=0)
args = parser.parse_args()
name = args.app or args.text
if Atspi.init() > 1:
    sys.exit("atspi_dump: cannot connect to the accessibility bus")
deadline = time.monotonic() + args.timeout
while True:  # retried every 20 ms until there is such an application (with a text field)
    apps = [a for a in children(Atspi.get_desktop(0)) if not name or read(a.get_name) == name]
    if args.text:
        for app in apps:
            field = first_text(app)
            text = field and field.get_text_iface()
            if text:
                print(read(lambda: text.get_text(0, -1)))
                sys.exit(0)
    elif not name or apps:
        print(json.dumps([tree(app) for app in apps], indent=1))
        sys.exit(0)
    if time.monotonic() >= deadline:
        sys.exit(f"atspi_dump: no application named {name or ''}")
    time.sleep(0.02)
