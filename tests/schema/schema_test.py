#!/usr/bin/env python3
"""Judges a table of package.json documents twice, with the JSON Schema in schema/ (Debian's
python3-jsonschema, draft 2020-12) and with `vandrel check --json`, which reads through the
host's own loader. Both must give the verdict the table expects: valid for the schema exactly
when check has nothing to say about package.json.

Usage: schema_test.py SCHEMA VANDREL
"""

import json
import os
import subprocess
import sys
import tempfile

import jsonschema

CLEAN, FLAGGED = True, False

DOCUMENTS = [
    ('{"name": "x"}', CLEAN),
    ('{"$schema": "./package.schema.json", "name": "x", "version": "1.2.3", '
     '"description": "d", "scripts": {"start": "x"}, "author": {"name": "A"}, "private": true}',
     CLEAN),
    ('{"name": "x", "main": "index.html", "chromium-args": "--lang=fr", '
     '"window": {"title": "T", "width": 800, "height": 600.5, "icon": "i.png", "resizable": false}, '
     '"settings": {"distribution-mode": "fixed", "hosting-mode": "window-to-visual", '
     '"content-mode": "bundle", "enable-devtools": false}, '
     '"messages": {"install-webview2": "a", "downloading": "b", "install-webview2-failed": "c"}}',
     CLEAN),
    ('{"name": "x", "main": "https://example.com/", "settings": {"content-mode": "remote"}}', CLEAN),
    ('{"name": "x", "version": "2.0.0-beta.1"}', CLEAN),
    ('{"name": "x", "window": {"background-color": "#0a0B0c", "pause-when-minimized": false, '
     '"fullscreen-keys": false}, "settings": {"cross-origin-isolation": true}, '
     '"messages": {"page-crashed": "a", "page-unresponsive": "b"}}', CLEAN),
    ('{"name": "x", "window": {"fullscreen": true, "min-width": 320, "min-height": 0, '
     '"max-width": 1920, "max-height": 1080.5, "position": "center", "maximized": true, '
     '"always-on-top": true, "remember": true}, "settings": {"single-instance": true, '
     '"log": "errors"}}', CLEAN),
    ('{"name": "x", "window": {"width": 1, "height": 2147483647}}', CLEAN),
    ('{"name": "a\\\\b"}', CLEAN),
    # Refused by the host.
    ('{}', FLAGGED),
    ('{"name": ""}', FLAGGED),
    ('{"name": 5}', FLAGGED),
    ('[{"name": "x"}]', FLAGGED),
    ('"x"', FLAGGED),
    ('{"name": "a:b"}', FLAGGED),
    ('{"name": "x", "settings": {"content-mode": "Bundle"}}', FLAGGED),
    ('{"name": "x", "settings": {"distribution-mode": "fixd"}}', FLAGGED),
    ('{"name": "x", "settings": {"hosting-mode": ""}}', FLAGGED),
    ('{"name": "x", "settings": {"content-mode": "remote"}}', FLAGGED),
    ('{"name": "x", "main": "example.com", "settings": {"content-mode": "remote"}}', FLAGGED),
    ('{"name": "x",}', FLAGGED),
    # Taken by the host, but not as the author meant.
    ('{"name": "x", "window": {"width": "800"}}', FLAGGED),
    ('{"name": "x", "window": {"resizable": 0}}', FLAGGED),
    ('{"name": "x", "window": {"title": 5}}', FLAGGED),
    ('{"name": "x", "main": null}', FLAGGED),
    ('{"name": "x", "settings": {"content-mode": 1}}', FLAGGED),
    ('{"name": "x", "window": 5}', FLAGGED),
    ('{"name": "x", "messages": []}', FLAGGED),
    ('{"name": "x", "window": {"resizeable": false}}', FLAGGED),
    ('{"name": "x", "window": {"chromium-args": "--a"}}', FLAGGED),
    ('{"name": "x", "title": "T"}', FLAGGED),
    ('{"name": "x", "fullscreen": true}', FLAGGED),
    ('{"name": "x", "window": {"width": 0}}', FLAGGED),
    ('{"name": "x", "window": {"background-color": "black"}}', FLAGGED),
    ('{"name": "x", "window": {"background-color": "#12345"}}', FLAGGED),
    ('{"name": "x", "window": {"background-color": "#1234567"}}', FLAGGED),
    ('{"name": "x", "window": {"background-color": "#12345g"}}', FLAGGED),
    ('{"name": "x", "window": {"pause-when-minimized": "false"}}', FLAGGED),
    ('{"name": "x", "settings": {"cross-origin-isolation": 1}}', FLAGGED),
    ('{"name": "x", "window": {"position": "centre"}}', FLAGGED),
    ('{"name": "x", "window": {"position": "Center"}}', FLAGGED),
    ('{"name": "x", "window": {"min-height": 0.5}}', FLAGGED),
    ('{"name": "x", "window": {"max-width": -1}}', FLAGGED),
    ('{"name": "x", "window": {"maximized": true, "resizable": false}}', FLAGGED),
    ('{"name": "x", "settings": {"single-instance": "yes"}}', FLAGGED),
    ('{"name": "x", "settings": {"log": "verbose"}}', FLAGGED),
    ('{"name": "x", "window": {"height": 0.5}}', FLAGGED),
    ('{"name": "x", "window": {"width": 4294967296}}', FLAGGED),
    ('{"name": "x", "version": 1}', FLAGGED),
    ('{"name": "x", "version": "v1.0"}', FLAGGED),
    ('{"name": "x", "version": "65536.0"}', FLAGGED),
    # Names Windows does not take for the data folder or the executable as they are written.
    ('{"name": "CON"}', FLAGGED),
    ('{"name": "Studio\\\\com1.x"}', FLAGGED),
    ('{"name": "Game."}', FLAGGED),
    ('{"name": ".."}', FLAGGED),
    ('{"name": "a\\\\\\\\b"}', FLAGGED),
    ('{"name": "Game\\u202egpj.exe"}', FLAGGED),
    ('{"name": "%s"}' % ("n" * 252), FLAGGED),
    ('{"name": "%s"}' % ("n" * 251), CLEAN),
    ('{"name": "x", "window": {"title": "%s"}}' % ("t" * 2049), FLAGGED),
    ('{"name": "x", "version": "1.0.0-%s"}' % ("b" * 2048), FLAGGED),
]


def schema_verdict(validator, text):
    try:
        document = json.loads(text)
    except json.JSONDecodeError:
        return FLAGGED
    return not list(validator.iter_errors(document))


def check_verdict(vandrel, text):
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "package.json"), "w", encoding="utf-8") as f:
            f.write(text)
        os.mkdir(os.path.join(folder, "www"))
        with open(os.path.join(folder, "www", "index.html"), "w") as f:
            f.write("<p>")
        result = subprocess.run([vandrel, "check", "--json", folder], capture_output=True,
                                text=True)
        if result.returncode not in (0, 1):
            raise RuntimeError("check could not run: " + result.stderr)
        findings = json.loads(result.stdout)
        return not [f for f in findings if f["file"] == "package.json"]


def main():
    schema_path, vandrel = sys.argv[1], sys.argv[2]
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failed = 0
    for text, expected in DOCUMENTS:
        by_schema = schema_verdict(validator, text)
        by_check = check_verdict(vandrel, text)
        if by_schema != expected or by_check != expected:
            failed += 1
            print("MISMATCH %s: expected %s, schema %s, check %s" %
                  (text, "clean" if expected else "flagged", by_schema, by_check))
    print("%d passed, %d failed" % (len(DOCUMENTS) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
