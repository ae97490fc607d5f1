#!/usr/bin/env python3
"""Fails when a module's interface text escapes its translation.

  check_translations.py --root DIR --module NAME --ts FILE --allow FILE
                        [--lupdate PATH] SOURCE_DIR...

(a) Every string literal with a Chinese character in the module's sources
    goes through tr(), translate() or a QT_*_NOOP marker, unless the
    allow-list names it with its file (texts that must never be translated).
(b) The .ts has no unfinished or empty translation, and lupdate over the
    sources (run into a temporary copy) finds exactly the texts it holds.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

CJK = re.compile('[\u3000-\u303f\u3400-\u9fff\uff00-\uffef]')
# What may stand before a wrapped literal: the call's opening, a context
# argument of translate()/QT_TRANSLATE_NOOP, and earlier pieces of the same
# concatenated literal.
WRAPPED = re.compile(
    r'(\btr|\btranslate|\bQT_TR_NOOP|\bQT_TRANSLATE_NOOP3?|\bQT_TR_N_NOOP|\bQT_TRANSLATE_N_NOOP)'
    r'\s*\(\s*("[^"\n]*"\s*,\s*)?$')
LITERAL = re.compile(r'(?:\b(?:u8|u|U|L))?"((?:[^"\\\n]|\\.)*)"')
SKIP_PARTS = {'tests', 'lab', 'translations'}


def strip_comments(text):
    """The text with comments blanked (newlines kept), literals intact."""
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            j = text.find('\n', i)
            j = n if j < 0 else j
            out.append(' ' * (j - i))
            i = j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:j]))
            i = j
        elif c == '"' or c == "'":
            j = i + 1
            while j < n and text[j] != c and text[j] != '\n':
                j += 2 if text[j] == '\\' else 1
            out.append(text[i:j + 1])
            i = j + 1
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def sources(root, dirs):
    for d in dirs:
        for base, subdirs, files in os.walk(d):
            subdirs[:] = [s for s in subdirs if s not in SKIP_PARTS]
            for f in sorted(files):
                if f.endswith(('.cpp', '.h')):
                    path = os.path.join(base, f)
                    yield os.path.relpath(path, root), path


def load_allow(path):
    allowed = set()
    with open(path, encoding='utf-8') as f:
        for line in f:
            line = line.rstrip('\n')
            if not line.strip() or line.lstrip().startswith('#'):
                continue
            file, _, literal = line.partition(' ')
            allowed.add((file, literal))
    return allowed


def unwrapped_literals(root, dirs, allowed):
    found, used = [], set()
    for rel, path in sources(root, dirs):
        with open(path, encoding='utf-8') as f:
            code = strip_comments(f.read())
        # Adjacent pieces of one literal count as wrapped with the first.
        wrapped_until = -1
        for m in LITERAL.finditer(code):
            before = code[:m.start()]
            piece_of_previous = re.search(r'"\s*$', before) and m.start() <= wrapped_until
            wrapped = WRAPPED.search(before[-200:]) or piece_of_previous
            if wrapped:
                wrapped_until = m.end() + len(re.match(r'\s*', code[m.end():]).group(0))
            if not CJK.search(m.group(1)) or wrapped:
                continue
            if (rel, m.group(1)) in allowed:
                used.add((rel, m.group(1)))
                continue
            found.append('%s:%d: "%s"' % (rel, code.count('\n', 0, m.start()) + 1, m.group(1)))
    return found, used


def text_of(element):
    """An element's text with lupdate's <byte value="xd"/> escapes put back."""
    if element is None:
        return ''
    parts = [element.text or '']
    for child in element:
        if child.tag == 'byte':
            parts.append(chr(int(child.get('value').lstrip('x'), 16)))
        parts.append(child.tail or '')
    return ''.join(parts)


def messages(ts):
    """(context, source, disambiguation) -> (translation, type) of every message."""
    result = {}
    for context in ET.parse(ts).getroot().iter('context'):
        name = context.findtext('name')
        for message in context.iter('message'):
            translation = message.find('translation')
            forms = translation.findall('numerusform')
            text = ''.join(text_of(f) for f in forms) if forms else text_of(translation)
            if forms and any(not text_of(f).strip() for f in forms):
                text = ''
            key = (name, text_of(message.find('source')), message.findtext('comment') or '')
            result[key] = (text, translation.get('type'))
    return result


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--root', required=True)
    ap.add_argument('--module', required=True)
    ap.add_argument('--ts', required=True)
    ap.add_argument('--allow', required=True)
    ap.add_argument('--lupdate')
    ap.add_argument('dirs', nargs='+')
    args = ap.parse_args()
    problems = []

    allowed = {a for a in load_allow(args.allow)
               if any(os.path.abspath(os.path.join(args.root, a[0])).startswith(
                   os.path.abspath(d) + os.sep) for d in args.dirs)}
    found, used = unwrapped_literals(args.root, args.dirs, allowed)
    problems += ['not translatable: ' + f for f in found]
    problems += ['allow-list entry matches nothing: %s %s' % a for a in sorted(allowed - used)]

    committed = messages(args.ts)
    for (context, source, comment), (text, kind) in sorted(committed.items()):
        if kind in ('unfinished', 'obsolete', 'vanished') or not text.strip():
            problems.append('no finished translation: [%s] %s %s' % (context, source, comment))

    if args.lupdate:
        with tempfile.TemporaryDirectory() as tmp:
            copy = os.path.join(tmp, os.path.basename(args.ts))
            shutil.copy(args.ts, copy)
            subprocess.run([args.lupdate, '-silent', '-no-obsolete', '-locations', 'none',
                            '-source-language', 'zh_CN', '-I', args.root, *args.dirs, '-ts', copy], check=True)
            current = messages(copy)
        for key in sorted(current.keys() - committed.keys()):
            problems.append('missing from %s: [%s] %s %s' % (os.path.basename(args.ts), *key))
        for key in sorted(committed.keys() - current.keys()):
            problems.append('no longer in the code: [%s] %s %s' % key)

    for p in problems:
        print(p)
    print('%s: %d problem(s), %d message(s)' % (args.module, len(problems), len(committed)))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
