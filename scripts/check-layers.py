#!/usr/bin/env python3
"""Checks the #include lines of src/ against the layering rules.

Layers only include downwards: app -> report -> feeds -> transfer -> xmldoc
-> shell -> platform. The zip engine is reached only through its interface
header, and uses nothing above the platform layer. Operating-system headers live in platform/ only (unit tests may use
them for their fixtures), and each third-party library stays in its one
wrapper. Prints every breach as "file:line: why" and exits 1 when there is one.

  check-layers.py SRC_DIR     check a source tree
  check-layers.py --self-test check that the rules catch what they must
"""
import os
import re
import sys
import tempfile

LAYERS = ["platform", "shell", "xmldoc", "transfer", "feeds", "report", "app"]
RANK = {name: k for k, name in enumerate(LAYERS)}

OS_HEADERS = re.compile(
    r"^(unistd|fcntl|dirent|dlfcn|signal|spawn|poll|pwd|grp|termios|elf|windows|io|direct|"
    r"sys/.*|netinet/.*|arpa/.*)\.h$")

# Third-party headers, the only files that may include them (paths relative
# to src/, as regular expressions), and the folder whose unit tests may too.
WRAPPED = [
    (re.compile(r"^(libxml|libxslt)/"), re.compile(r"^xmldoc/(XMLCursor|XSLProc)[^/]*$"), "xmldoc", "libxml2/libxslt"),
    (re.compile(r"^zip\.h$"), re.compile(r"^zipengine/"), "zipengine", "libzip"),
    (re.compile(r"^curl/"), re.compile(r"^transfer/(FtpSession|MailAlert|CurlHandles)[^/]*$"), "transfer", "libcurl"),
    (re.compile(r"^(Q[A-Za-z]+|Qt[A-Za-z]+/.*)$"), re.compile(r"^app/"), "app", "Qt"),
    (re.compile(r"^nlohmann/"), re.compile(r"^report/"), "report", "nlohmann-json"),
    (re.compile(r"^openssl/"), re.compile(r"^transfer/SshHostKey[^/]*$"), "transfer", "OpenSSL"),
]

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def breaches(src):
    found = []
    for folder, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, src).replace(os.sep, "/")
            layer = rel.split("/", 1)[0]
            is_test = name.endswith("_test.cpp") or name.endswith("Testing.h")
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    quote, header = m.groups()
                    where = f"{rel}:{number}: "
                    if quote == '"':
                        target = header.split("/", 1)[0]
                        if target == "support":
                            if not is_test:
                                found.append(where + f"test support included outside a test: {header}")
                        elif target == "zipengine":
                            if header != "zipengine/ZipDllInterface.h" and layer != "zipengine":
                                found.append(where + f"the zip engine is reached only through its interface: {header}")
                        elif target in RANK and layer in RANK and RANK[target] > RANK[layer]:
                            found.append(where + f"{layer} includes the higher layer {target}: {header}")
                        elif target in RANK and target != "platform" and layer == "zipengine":
                            found.append(where + f"the zip engine uses the platform layer only: {header}")
                        continue
                    if OS_HEADERS.match(header) and layer != "platform" and not is_test:
                        found.append(where + f"operating-system header outside platform/: <{header}>")
                    for pattern, allowed, home, library in WRAPPED:
                        if pattern.match(header) and not allowed.match(rel) and not (is_test and layer == home):
                            found.append(where + f"{library} outside its wrapper: <{header}>")
    return found


def self_test():
    cases = {
        "shell/A.cpp": ('#include "feeds/Portals.h"\n', "shell includes the higher layer feeds"),
        "feeds/B.cpp": ("#include <unistd.h>\n", "operating-system header outside platform/"),
        "transfer/PhotoSync.cpp": ("#include <curl/curl.h>\n", "libcurl outside its wrapper"),
        "feeds/C.cpp": ("#include <libxml/tree.h>\n", "libxml2/libxslt outside its wrapper"),
        "shell/D.cpp": ("#include <QWidget>\n", "Qt outside its wrapper"),
        "xmldoc/Zip.cpp": ('#include "zipengine/ZipEngine.cpp"\n', "only through its interface"),
        "feeds/E.cpp": ('#include "support/TestSupport.h"\n', "test support included outside a test"),
    }
    clean = {
        "feeds/F.cpp": '#include "transfer/FeedUpload.h"\n#include "shell/RunFolders.h"\n#include <string>\n',
        "xmldoc/Zip2.cpp": '#include "zipengine/ZipDllInterface.h"\n',
        "transfer/FtpSession.cpp": "#include <curl/curl.h>\n",
        "platform/Files-posix.cpp": "#include <sys/stat.h>\n",
        "feeds/G_test.cpp": '#include "support/TestSupport.h"\n#include <sys/stat.h>\n',
    }
    ok = True
    with tempfile.TemporaryDirectory() as src:
        for rel, text in list(cases.items()) + [(k, (v, None)) for k, v in clean.items()]:
            path = os.path.join(src, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(text[0])
        report = breaches(src)
        for rel, (_, why) in cases.items():
            if not any(line.startswith(rel + ":") and why in line for line in report):
                print(f"not caught: {rel}: {why}")
                ok = False
        for rel in clean:
            for line in report:
                if line.startswith(rel + ":"):
                    print(f"wrongly reported: {line}")
                    ok = False
    print("self-test", "passed" if ok else "FAILED")
    return 0 if ok else 1


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    report = breaches(sys.argv[1])
    for line in report:
        print(line)
    print(f"{len(report)} breach(es) of the layering rules" if report else "layering rules hold")
    return 1 if report else 0


if __name__ == "__main__":
    sys.exit(main())
