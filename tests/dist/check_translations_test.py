#!/usr/bin/env python3
"""The completeness check against small made-up modules: what it must flag
and what it must let pass (no lupdate: the .ts side is checked as given)."""
import os
import subprocess
import sys
import tempfile

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'check_translations.py')
TS_OK = '''<?xml version="1.0" encoding="utf-8"?><TS version="2.1" language="en">
<context><name>C</name><message><source>开始</source><translation>Start</translation></message>
</context></TS>'''
TS_UNFINISHED = TS_OK.replace('<translation>Start', '<translation type="unfinished">Start')
TS_EMPTY = TS_OK.replace('Start', '')

# (case, code of m/a.cpp, allow-list, .ts, problems expected)
CASES = [
    ('tr', 'x = tr("开始");', '', TS_OK, 0),
    ('translate with context', 'x = QCoreApplication::translate("C", "开始");', '', TS_OK, 0),
    ('noop table', 'const char* t[] = {QT_TRANSLATE_NOOP("C", "开始"), QT_TR_NOOP("停止")};',
     '', TS_OK, 0),
    ('concatenated pieces', 'x = tr("开始"\n       "停止");', '', TS_OK, 0),
    ('comment only', '// 开始\n/* 停止 */ x = 1;', '', TS_OK, 0),
    ('bare literal', 'x = QStringLiteral("开始");', '', TS_OK, 1),
    ('u literal', 'x = QString::fromUtf16(u"开始");', '', TS_OK, 1),
    ('second argument of a call', 'f(tr("开始"), QStringLiteral("停止"));', '', TS_OK, 1),
    ('allowed key', 'k = QStringLiteral("界面");', 'm/a.cpp 界面\n', TS_OK, 0),
    ('allowed elsewhere only', 'k = QStringLiteral("界面");', 'm/b.cpp 界面\n', TS_OK, 2),
    ('stale allow entry', 'x = tr("开始");', 'm/a.cpp 界面\n', TS_OK, 1),
    ('ASCII needs nothing', 'x = QStringLiteral("Vexmor");', '', TS_OK, 0),
    ('unfinished', 'x = tr("开始");', '', TS_UNFINISHED, 1),
    ('empty translation', 'x = tr("开始");', '', TS_EMPTY, 1),
]


def main():
    failures = 0
    for name, code, allow, ts, expected in CASES:
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, 'm', 'tests'))
            files = {'m/a.cpp': code, 'm/tests/t.cpp': 'x = "开始";', 'allow.txt': allow,
                     'm.ts': ts}
            for path, text in files.items():
                with open(os.path.join(root, path), 'w', encoding='utf-8') as f:
                    f.write(text)
            run = subprocess.run([sys.executable, CHECK, '--root', root, '--module', 'm',
                                  '--ts', os.path.join(root, 'm.ts'), '--allow',
                                  os.path.join(root, 'allow.txt'), os.path.join(root, 'm')],
                                 capture_output=True, text=True)
            problems = [l for l in run.stdout.splitlines() if ': ' in l and 'problem(s)' not in l]
            ok = len(problems) == expected and (run.returncode != 0) == (expected > 0)
            if not ok:
                failures += 1
                print('FAIL %s: expected %d problem(s)\n%s' % (name, expected, run.stdout))
    print('%d case(s), %d failure(s)' % (len(CASES), failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
