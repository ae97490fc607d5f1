#!/usr/bin/python3
# Prints, as one line of JSON, what a screen reader finds of the application
# named NAME on the accessibility bus: the role, name and children of each
# object, DEPTH levels down from the application ({} when it is not there).
#   atspi_tree.py NAME DEPTH
import json
import sys

import pyatspi


def node(accessible, depth):
    children = [node(child, depth - 1) for child in accessible if child] if depth > 0 else []
    return {"role": accessible.getRoleName(), "name": accessible.name, "children": children}


name, depth = sys.argv[1], int(sys.argv[2])
apps = [app for app in pyatspi.Registry.getDesktop(0) if app and app.name == name]
print(json.dumps(node(apps[0], depth) if apps else {}, ensure_ascii=False))
