#!/usr/bin/env python3
"""The project's mutation check: how many small faults in the program does the suite notice?

    tools/mutate.py FILE...              the named program files
    tools/mutate.py --changed [REV]      the program files changed since REV (default: main)
    tools/mutate.py --all                every program file (app games poller tray settings
                                         gamelist check parse)
      --seed N     which mutants are picked (default 1): the same seed, count and files give
                   the same mutants
      --count K    mutants a file (default 3)
      --work DIR   where the copy and its builds live (default $TMPDIR/turnbell-mutate);
                   kept between runs, so a second run rebuilds only what changed

It copies the checkout as it is in the working tree (tracked and untracked files, not the
ignored ones) into DIR, and never writes to the checkout. Each mutant is one fault in one
place: a relational or equality operator flipped, && and || swapped, a condition negated, a
constant moved by one or set to 0, a call statement removed, a returned truth value changed.
It is built and tried, stage by stage, until a stage fails (the mutant is killed):
  platform-free file: its own tests natively, the whole native suite, the whole win64 suite;
  *_win.cpp file:     its own tests on win64, the whole win64 suite.
The Windows tests of each stage run under wine64 in a display and prefix of their own, the
prefix a copy of one booted at the start (tools/wine-session.sh). A mutant that does not build is not counted. Each survivor is
printed as "file:line: old -> new", and the run closes with "K killed of N (P %)" for the
platform-free core, the Win32 code and both together.
"""
import argparse, json, os, random, re, shutil, signal, subprocess, sys, tempfile, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ("app", "games", "poller", "tray", "settings", "gamelist", "check", "parse")

# The tests that exercise a file, by the first prefix of its path that matches; the rest
# of the suite runs only for a mutant that these miss.
OWN_TESTS = [
    ("app/links", "links_test links_win_test"),
    ("app/", "merge_win_test second_copy_test"),
    ("games/", "records_test merge_test merge_win_test"),
    ("poller/fetch", "fetch_test https_test"),
    ("poller/redirect", "redirect_test https_test"),
    ("poller/reply", "fetch_test"),
    ("poller/lowercase", "parser_test lowercase_win_test lowercase_win_cp932_test"),
    ("poller/", "parser_test poller_cycle_test poller_thread_test poller_start_test"),
    ("tray/blend", "blend_test tray_win_test"),
    ("tray/", "tray_win_test merge_win_test"),
    ("settings/settings_path", "settings_path_test settings_path_cp932_test"),
    ("settings/settings_dialog", "settings_dialog_test"),
    ("settings/", "settings_store_test settings_dialog_test"),
    ("gamelist/rows", "rows_test gamelist_win_test"),
    ("gamelist/", "gamelist_win_test"),
    ("check/", "check_test"),
    ("parse/", "parser_test parse_tool_test"),
]

FLIPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==", "&&": "||", "||": "&&"}
NOT_CALLS = {"return", "if", "while", "for", "switch", "case", "else", "delete", "throw", "do",
             "sizeof", "static_assert", "using", "namespace", "template"}


def masked(text):
    """text with comments and the insides of string and character literals blanked, so that
    only code is searched; offsets stay as they are."""
    out, i, n = list(text), 0, len(text)
    while i < n:
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
        elif text.startswith('R"', i) and (i == 0 or not text[i - 1].isalnum()):
            delim = text[i + 2:text.find("(", i)]
            j = text.find(")" + delim + '"', i) + len(delim) + 2
        elif text[i] in "\"'":
            j = i + 1
            while j < n and text[j] != text[i] and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out[i + 1:j] = " " * (j - i - 1)
            i = j + 1
            continue
        else:
            i += 1
            continue
        out[i:j] = [c if c == "\n" else " " for c in text[i:j]]
        i = j
    return "".join(out)


def closing_paren(code, start):
    depth = 0
    for k in range(start, len(code)):
        if code[k] == "(":
            depth += 1
        elif code[k] == ")":
            depth -= 1
            if depth == 0:
                return k
        elif code[k] == "\n":
            return -1
    return -1


def mutants(text):
    """Every mutant of a file as (offset, old, new), in the order they stand."""
    code, found = masked(text), []
    lines_at, pos = [], 0
    for line in code.split("\n"):
        lines_at.append((pos, line))
        pos += len(line) + 1
    for start, line in lines_at:
        stripped = line.strip()
        if not stripped or (stripped.startswith("#") and not stripped.startswith("#define")):
            continue
        for m in re.finditer(r"(?<= )(<=|>=|==|!=|&&|\|\||<|>)(?= )", line):
            found.append((start + m.start(), m.group(1), FLIPS[m.group(1)]))
        for m in re.finditer(r"\b(if|while) \(", line):
            open_at = m.end() - 1
            close_at = closing_paren(line, open_at)
            if close_at > 0:
                cond = text[start + open_at + 1:start + close_at]
                found.append((start + open_at + 1, cond, "!(" + cond + ")"))
        for m in re.finditer(r"(?<![\w.'])(\d+)[uUlL]*(?![\w.'])", line):
            value = int(m.group(1))
            found.append((start + m.start(1), m.group(1), str(value + 1)))
            if value:
                found.append((start + m.start(1), m.group(1), "0"))
        m = re.match(r"(\s*)(~?[A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*)\(", line)
        if m and m.group(2) not in NOT_CALLS and line.rstrip().endswith(");") \
                and closing_paren(line, m.end() - 1) == len(line.rstrip()) - 2:
            body = text[start + len(m.group(1)):start + len(line.rstrip())]
            found.append((start + len(m.group(1)), body, ";"))
        for m in re.finditer(r"\breturn (true|false);", line):
            found.append((start + m.start(1), m.group(1), "false" if m.group(1) == "true" else "true"))
        m = re.search(r"\breturn ([^;]*(?:==|!=|<|>|&&|\|\||!)[^;]*);", line)
        if m and "?" not in m.group(1):
            found.append((start + m.start(1), m.group(1), "!(" + m.group(1) + ")"))
    return found


def run(cmd, cwd, timeout=None):
    """Runs cmd, its output caught; a stop or a time-out ends it with SIGTERM, so that a
    Wine session's clean-up runs."""
    child = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             text=True, errors="replace")
    try:
        out, _ = child.communicate(timeout=timeout)
        return child.returncode, out
    except subprocess.TimeoutExpired:
        return 124, "timed out"
    finally:
        if child.poll() is None:
            child.terminate()
            child.wait()


class Build:
    """One preset of the copy: its folder, its tests and the programs each test runs."""

    def __init__(self, src, preset, template=None):
        self.src, self.dir, self.template = src, os.path.join(src, "build", preset), template
        if not os.path.exists(os.path.join(self.dir, "build.ninja")):
            status, out = run(["cmake", "--preset", preset], src)
            if status:
                sys.exit(f"configuring {preset} failed:\n{out[-3000:]}")
        status, out = run(["cmake", "--build", self.dir], src)
        if status:
            sys.exit(f"building {preset} failed (is the checkout itself broken?):\n{out[-3000:]}")
        _, listing = run(["ctest", "--show-only=json-v1"], self.dir)
        self.targets = {}
        for test in json.loads(listing)["tests"]:
            programs = {os.path.splitext(os.path.basename(a))[0] for a in test.get("command", [])
                        if a.startswith(self.dir) and os.path.isfile(a) and os.access(a, os.X_OK)}
            self.targets[test["name"]] = programs
        self.baseline = self.test(None)
        if self.baseline:
            sys.exit(f"the unmutated {preset} suite fails ({self.baseline}): nothing to measure against")

    def test(self, names, retried=False):
        """None when the tests pass, else what failed. names=None: the whole suite."""
        if names is None:
            status, out = run(["cmake", "--build", self.dir], self.dir)
        else:
            targets = set().union(*(self.targets[n] for n in names))
            if "desktop_keeper_start" in self.targets:
                targets |= self.targets["desktop_keeper_start"]
            status, out = run(["cmake", "--build", self.dir, "--target", *sorted(targets)], self.dir)
        if status:
            return "no build"
        args = ["ctest", "-j", str(os.cpu_count() or 2), "--timeout", "300", "--no-tests=error"]
        if names is not None:
            args += ["-R", "^(" + "|".join(names) + ")$"]
        if self.template:
            # A display and a prefix of the stage's own, the prefix a copy of one booted at
            # the start: nothing a mutant left running or stored meets the next one.
            args = ["bash", "-c", 'source "$1/tools/wine-session.sh"; trap \'kill $! 2>/dev/null; wine_session_stop\' EXIT; '
                    'trap "exit 143" TERM; export TURNBELL_WINE_TEMPLATE="$2"; wine_session_start; shift 3; '
                    '"$@" >"$3" 2>&1 & wait $!; status=$?; cat "$3"; exit $status',  # as the test command does
                    "_", self.src, self.template, os.path.join(self.dir, "mutate.log"), *args]
        status, out = run(args, self.dir, timeout=1800)
        if status == 0:
            return None
        failed = re.findall(r"^\s*\d+ - (\S+) \(", out, re.M)
        if "desktop_keeper_start" in failed:
            # Now and then a desktop does not come up: that says nothing of the mutant, so
            # the stage runs once more in another session.
            return "no desktop" if retried else self.test(names, retried=True)
        return ", ".join(failed) or f"ctest exit {status}"


def booted_prefix(src, work):
    """A Wine prefix booted once, in work/prefix, for every Windows stage to start from."""
    template = os.path.join(work, "prefix")
    if not os.path.isfile(os.path.join(template, "system.reg")):
        shutil.rmtree(template, ignore_errors=True)
        status, out = run(["bash", "-c", 'source "$1/tools/wine-session.sh"; trap wine_session_stop EXIT; '
                           'export TURNBELL_WINE_TEMPLATE=1; wine_session_start; mkdir "$2"; '
                           'copy_prefix "$TURNBELL_WINE_TEMPLATE" "$2"', "_", src, template], src)
        if status:
            sys.exit(f"booting a Wine prefix failed:\n{out[-2000:]}")
    return template


def copy_checkout(src):
    """The working tree's files (tracked and untracked, not ignored) into src; a file whose
    content is already there is left alone, so the builds there stay current."""
    listing = subprocess.run(["git", "ls-files", "-z", "-co", "--exclude-standard"], cwd=ROOT,
                             stdout=subprocess.PIPE, check=True).stdout.decode()
    for name in filter(None, listing.split("\0")):
        here, there = os.path.join(ROOT, name), os.path.join(src, name)
        if not os.path.isfile(here):
            continue
        with open(here, "rb") as f:
            data = f.read()
        if os.path.isfile(there):
            with open(there, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(there), exist_ok=True)
        shutil.copyfile(here, there)  # with a new time, so that the builds there see the change
        shutil.copymode(here, there)


def program_files(args):
    if args.all:
        names = subprocess.run(["git", "ls-files", *FOLDERS], cwd=ROOT, stdout=subprocess.PIPE,
                               text=True, check=True).stdout.split()
    elif args.changed:
        names = subprocess.run(["git", "diff", "--name-only", args.changed, "--", *FOLDERS], cwd=ROOT,
                               stdout=subprocess.PIPE, text=True, check=True).stdout.split()
    else:
        names = [os.path.relpath(os.path.abspath(f), ROOT) for f in args.files]
    return [n for n in names if n.endswith((".cpp", ".h")) and os.path.isfile(os.path.join(ROOT, n))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("files", nargs="*")
    parser.add_argument("--all", action="store_true")
    parser.add_argument("--changed", nargs="?", const="main")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=3)
    parser.add_argument("--work", default=os.path.join(tempfile.gettempdir(), "turnbell-mutate"))
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))
    signal.signal(signal.SIGINT, lambda *_: sys.exit("stopped"))
    files = program_files(args)
    if not files:
        sys.exit("no program file named")
    src = os.path.join(args.work, "src")
    started = time.time()
    copy_checkout(src)
    print(f"copy in {src}; building native and win64", flush=True)
    native = Build(src, "native")
    win64 = Build(src, "win64", booted_prefix(src, args.work))
    print(f"builds ready in {time.time() - started:.0f} s", flush=True)
    score = {"core": [0, 0], "Win32": [0, 0]}
    survivors = []
    for name in files:
        path = os.path.join(src, name)
        with open(path) as f:
            original = f.read()
        windows = name.endswith("_win.cpp") or "windows.h" in original
        own = next((t.split() for p, t in OWN_TESTS if name.startswith(p)), [])
        if windows:
            stages = [(win64, [t for t in own if t in win64.targets]), (win64, None)]
        else:
            stages = [(native, [t for t in own if t in native.targets]), (native, None), (win64, None)]
        stages = [(b, t) for b, t in stages if t is None or t]
        found = mutants(original)
        picked = sorted(random.Random(f"{args.seed}:{name}").sample(found, min(args.count, len(found))))
        for offset, old, new in picked:
            line = original.count("\n", 0, offset) + 1
            where = f"{name}:{line}: {old.strip()} -> {new.strip()}"
            with open(path, "w") as f:
                f.write(original[:offset] + new + original[offset + len(old):])
            t0, verdict = time.time(), None
            for number, (build, tests) in enumerate(stages):
                verdict = build.test(tests)
                if verdict in ("no build", "no desktop") and number == 0:
                    break
                if verdict:
                    break
            with open(path, "w") as f:
                f.write(original)
            took = time.time() - t0
            if verdict in ("no build", "no desktop"):
                print(f"  {where}: {verdict}, not counted ({took:.0f} s)", flush=True)
                continue
            part = score["Win32" if windows else "core"]
            part[1] += 1
            if verdict:
                part[0] += 1
                print(f"  {where}: killed by {verdict} ({took:.0f} s)", flush=True)
            else:
                survivors.append(where)
                print(f"  {where}: SURVIVED ({took:.0f} s)", flush=True)
    print(f"\nseed {args.seed}, {args.count} a file, {len(files)} files, {time.time() - started:.0f} s")
    if survivors:
        print("survivors:\n" + "\n".join(survivors))
    for label, (killed, total) in score.items():
        if total:
            print(f"{label}: {killed} killed of {total} ({100 * killed / total:.0f} %)")
    killed, total = (sum(v) for v in zip(*score.values()))
    print(f"{killed} killed of {total} ({100 * killed / max(total, 1):.0f} %)")


if __name__ == "__main__":
    main()
