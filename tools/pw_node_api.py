#!/usr/bin/env python3
# Reads pw-dump's JSON and prints how the nodes named NAME reach PipeWire: "native" (the program's
# own pw_stream) or "pipewire-pulse" (a PulseAudio stream it serves), one line each.
import json, sys
for o in json.load(sys.stdin):
    props = o.get("info", {}).get("props", {}) if o.get("type", "").endswith("Node") else {}
    if props.get("node.name") == sys.argv[1] or props.get("application.name") == sys.argv[1]:
        print("pipewire-pulse" if props.get("client.api") == "pipewire-pulse" else "native")
