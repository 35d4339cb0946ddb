#!/usr/bin/env python3
"""End-to-end tests: the built ta-key driven through redirected streams, a
pseudo-terminal and tmux, with every saved file compared byte for byte.

    test_ta_key.py --program build/dev/ta-key [--runner wine] [--examples examples]
"""
import argparse
import os
import select
import shlex
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

OPTIONS = None  # filled in by main()
os.environ.setdefault("WINEDEBUG", "-all")

BANNER_LINES = [
    b"               ************ For Ham Use Only  ************* ",
    b" This program will alter the file saved by KPG49D to assign the function TA to",
    b" any key on a TK-981 or TK-481 ver. 2 radio. WINdows 7 Support.",
    b"               ********************************************  ",
    b"                     ta-key: the TA function for any key   ",
]
BANNER = b"".join(line + b"\r\n" for line in BANNER_LINES) + b"\r\n"
NOT_VALID = b"File is not a vaild 900mhz KPG49D file.\r\n"
FILE_QUESTION = b"Enter the full file name saved by the KW radio prg [name.ext]? "
KEY_QUESTION = b"Enter the number for which key you would like to assign TA to ? "
CLEAR = b"\x1b[2J\x1b[H"
TK981_NAMES = [b"A", b"B", b"C", b"D", b"Scan", b"Mon", b"Foot", b"Sys Up", b"Sys Dn"]
TK481_NAMES = [b"A", b"B", b"C", b"Lamp", b"Scan", b"Mon", b"Aux", b"Mic 1", b"Mic 2"]
SLOT_BASE = 322  # key n's byte is at position 322 + n, offset 321 + n


def detected(model: bytes) -> bytes:
    return b"Detected saved file created with KPG49D for model " + model + b"\r\n\r\n"


def menu(names) -> bytes:
    lines = b"".join(b"    %d-- %s\r\n" % (key, name) for key, name in enumerate(names, 1))
    return lines + b"\r\n    0 -- Exit \r\n\r\n"


def updated(name: bytes) -> bytes:
    return name + b" has been updated.\r\n"


def with_slot(data: bytes, position: int, value: bytes = b"R") -> bytes:
    return data[: position - 1] + value + data[position:]


def sample(name: str) -> bytes:
    return (OPTIONS.examples / name).read_bytes()


def is_windows_build() -> bool:
    return OPTIONS.program.suffix == ".exe"


MODELS = [
    ("tk981.dat", b"TK-981.", TK981_NAMES),
    ("tk481v2.dat", b"TK-481 Ver. 2.", TK481_NAMES),
]


def uses_wine() -> bool:
    return "wine" in OPTIONS.runner


def start_wine(**options):
    """Starts Wine's resident server and services once, detached from every
    test's pipes: a service started by a test's run would keep its pipes open."""
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-p"], check=False, **quiet, **options)
    subprocess.run(["wine", "wineboot"], check=False, **quiet, **options)


def stop_wine(**options):
    subprocess.run(["wineserver", "-k"], check=False, stderr=subprocess.DEVNULL, **options)


UNPRIVILEGED_WINE = {}


def unprivileged_environment(user: int) -> dict:
    environment = dict(os.environ)
    if uses_wine():
        # Wine keeps a prefix per user; this one lives on between runs.
        home = Path(tempfile.gettempdir()) / f"ta-key-wine-{user}"
        home.mkdir(exist_ok=True)
        os.chown(home, user, user)
        environment.update(HOME=str(home), WINEPREFIX=str(home / "prefix"))
        if user not in UNPRIVILEGED_WINE:
            UNPRIVILEGED_WINE[user] = dict(user=user, group=user, extra_groups=[], env=environment)
            start_wine(**UNPRIVILEGED_WINE[user])
    return environment


def command(args):
    return shlex.split(OPTIONS.runner) + [str(OPTIONS.program)] + list(args)


class Workspace(unittest.TestCase):
    """Each test works in a fresh folder open to every user."""

    def setUp(self):
        self.folder = Path(tempfile.mkdtemp(prefix="ta-key-e2e-"))
        os.chmod(self.folder, 0o777)

    def tearDown(self):
        for path in self.folder.rglob("*"):
            if path.is_dir() and not path.is_symlink():
                os.chmod(path, 0o755)
        shutil.rmtree(self.folder, ignore_errors=True)

    def put(self, name: str, data: bytes, mode: int = 0o666) -> Path:
        path = self.folder / name
        path.write_bytes(data)
        os.chmod(path, mode)
        return path

    def run_tool(self, args, answers: bytes = b"", user=None, timeout=60, **streams):
        options = dict(stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        options.update(streams)
        if user is not None:
            options.update(user=user, group=user, extra_groups=[], env=unprivileged_environment(user))
        process = subprocess.Popen(command(args), cwd=self.folder, **options)
        out, err = process.communicate(answers if options["stdin"] == subprocess.PIPE else None,
                                       timeout=timeout)
        return process.returncode, out or b"", err or b""

    def assert_run(self, args, answers, stdout, status=0, stderr=b"", **options):
        code, out, err = self.run_tool(args, answers, **options)
        self.assertEqual(out, stdout)
        self.assertEqual(err, stderr)
        self.assertEqual(code, status)


class RedirectedRuns(Workspace):
    def test_whole_run_per_model_changes_only_the_slot(self):
        for file_name, model, names in MODELS:
            for key in (1, 5, 9):
                with self.subTest(model=model, key=key):
                    original = sample(file_name)
                    path = self.put("radio.dat", original)
                    self.assert_run(["radio.dat"], b"%d\r\n" % key,
                                    BANNER + detected(model) + menu(names) + updated(b"radio.dat"))
                    self.assertEqual(path.read_bytes(), with_slot(original, SLOT_BASE + key))

    def test_answers(self):
        # answer, slot position written (None: refused, nothing printed or written)
        rows = [
            (b"0\n", None), (b"10\n", None), (b"-3\n", None), (b"word\n", None), (b"", None),
            (b"\n", None), (b"0.5\n", None), (b"0.50001\n", None), (b"9.5\n", None),
            (b"9.49999\n", None), (b"1e999\n", None),
            (b"2.4\n", 324), (b"1.5\n", 324), (b"2.5\n", 324), (b"&H5\n", 327), (b"&7\n", 329),
            (b"&B11\n", 325), (b"1d0\n", 323), (b"  8  , 2\n", 330), (b"3", 325), (b"4\r", 326),
        ]
        original = sample("tk981.dat")
        for answer, position in rows:
            with self.subTest(answer=answer):
                path = self.put("radio.dat", original)
                expected = BANNER + detected(b"TK-981.") + menu(TK981_NAMES)
                if position is not None:
                    expected += updated(b"radio.dat")
                self.assert_run(["radio.dat"], answer, expected)
                changed = original if position is None else with_slot(original, position)
                self.assertEqual(path.read_bytes(), changed)

    def test_file_name_and_key_from_one_input_line(self):
        original = sample("tk481v2.dat")
        path = self.put("radio.dat", original)
        self.assert_run([], b"radio.dat,3\r\n",
                        BANNER + detected(b"TK-481 Ver. 2.") + menu(TK481_NAMES) + updated(b"radio.dat"))
        self.assertEqual(path.read_bytes(), with_slot(original, 325))

    def test_arguments_are_joined_by_one_blank(self):
        original = sample("tk981.dat")
        path = self.put("my radio.dat", original)
        self.assert_run(["my", "radio.dat"], b"2\n",
                        BANNER + detected(b"TK-981.") + menu(TK981_NAMES) + updated(b"my radio.dat"))
        self.assertEqual(path.read_bytes(), with_slot(original, 324))

    def test_empty_answer_to_the_file_question_is_not_valid(self):
        for answers in (b"\n", b""):
            with self.subTest(answers=answers):
                self.assert_run([], answers, BANNER + NOT_VALID)
                self.assertEqual(list(self.folder.iterdir()), [])

    def test_missing_file_is_created_empty_and_not_valid(self):
        self.assert_run(["new.dat"], b"1\n", BANNER + NOT_VALID)
        self.assertEqual((self.folder / "new.dat").read_bytes(), b"")

    def test_slot_that_already_holds_the_function_is_written_again(self):
        original = with_slot(sample("tk981.dat"), 327)
        path = self.put("radio.dat", original)
        self.assert_run(["radio.dat"], b"5\n",
                        BANNER + detected(b"TK-981.") + menu(TK981_NAMES) + updated(b"radio.dat"))
        self.assertEqual(path.read_bytes(), original)

    def test_file_too_short_for_the_slot_is_not_updated(self):
        original = sample("tk981.dat")[:330]  # holds slots 1 to 8 only
        path = self.put("short.dat", original)
        self.assert_run(["short.dat"], b"9\n", BANNER + detected(b"TK-981.") + menu(TK981_NAMES),
                        status=1,
                        stderr=b"short.dat could not be updated: the file is too short to hold the key slots\r\n")
        self.assertEqual(path.read_bytes(), original)
        self.assert_run(["short.dat"], b"8\n",
                        BANNER + detected(b"TK-981.") + menu(TK981_NAMES) + updated(b"short.dat"))
        self.assertEqual(path.read_bytes(), with_slot(original, 330))

    def test_read_only_file_is_not_updated(self):
        # Without write permission (under Wine: the read-only attribute).
        original = sample("tk981.dat")
        path = self.put("locked.dat", original, mode=0o444)
        user = 65534 if os.geteuid() == 0 else None  # root writes through permissions
        self.assert_run(["locked.dat"], b"1\n", BANNER + detected(b"TK-981.") + menu(TK981_NAMES),
                        status=1, stderr=b"locked.dat could not be updated: the file is read-only\r\n",
                        user=user)
        self.assertEqual(path.read_bytes(), original)


class PseudoTerminal:
    """The tool on a pseudo-terminal, as a person at a terminal runs it."""

    def __init__(self, args, cwd):
        import pty
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.chdir(cwd)
            argv = command(args)
            os.execvp(argv[0], argv)
        self.output = b""

    def read_until(self, text: bytes, timeout=20.0):
        deadline = time.monotonic() + timeout
        while text not in self.output:
            if not self._read_some(deadline):
                raise AssertionError(f"never saw {text!r}; got {self.output!r}")

    def _read_some(self, deadline) -> bool:
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([self.fd], [], [], left)[0]:
            return False
        try:
            chunk = os.read(self.fd, 4096)
        except OSError:
            return False
        self.output += chunk
        return bool(chunk)

    def type(self, keys: bytes):
        os.write(self.fd, keys)

    def finish(self, timeout=20.0) -> int:
        deadline = time.monotonic() + timeout
        while self._read_some(deadline):
            pass
        _, status = os.waitpid(self.pid, 0)
        os.close(self.fd)
        return os.waitstatus_to_exitcode(status)


def as_on_terminal(data: bytes) -> bytes:
    """What a terminal receives: its output processing turns LF into CR LF."""
    return data.replace(b"\n", b"\r\n")


class ConsoleRuns(Workspace):
    def setUp(self):
        if is_windows_build():
            self.skipTest("Wine draws its own console; see ScreenRuns")
        super().setUp()

    def test_key_question_on_a_terminal(self):
        original = sample("tk981.dat")
        path = self.put("radio.dat", original)
        terminal = PseudoTerminal(["radio.dat"], self.folder)
        terminal.read_until(KEY_QUESTION)
        terminal.type(b"6\r")
        self.assertEqual(terminal.finish(), 0)
        expected = CLEAR + as_on_terminal(BANNER + detected(b"TK-981.") + menu(TK981_NAMES)
                                          + KEY_QUESTION + b"6\n" + updated(b"radio.dat"))
        self.assertEqual(terminal.output, expected)
        self.assertEqual(path.read_bytes(), with_slot(original, 328))

    def test_file_question_on_a_terminal(self):
        original = sample("tk481v2.dat")
        path = self.put("radio.dat", original)
        terminal = PseudoTerminal([], self.folder)
        terminal.read_until(FILE_QUESTION)
        terminal.type(b"  radio.dat,9\r")
        terminal.read_until(KEY_QUESTION)
        terminal.type(b"9\r")
        self.assertEqual(terminal.finish(), 0)
        expected = CLEAR + as_on_terminal(BANNER + FILE_QUESTION + b"  radio.dat,9\n"
                                          + detected(b"TK-481 Ver. 2.") + menu(TK481_NAMES)
                                          + KEY_QUESTION + b"9\n" + updated(b"radio.dat"))
        self.assertEqual(terminal.output, expected)
        self.assertEqual(path.read_bytes(), with_slot(original, 331))

    def test_end_of_input_typed_at_a_question_ends_the_line(self):
        # Typed end of input, alone or after text: the tool writes the line end.
        for typed, echo in ((b"\x04", b""), (b"xyz\x04", b"xyz")):
            with self.subTest(typed=typed):
                terminal = PseudoTerminal([], self.folder)
                terminal.read_until(FILE_QUESTION)
                terminal.type(typed)
                self.assertEqual(terminal.finish(), 0)
                expected = CLEAR + as_on_terminal(BANNER + FILE_QUESTION + echo + b"\r\n" + NOT_VALID)
                self.assertEqual(terminal.output, expected)


class Screen:
    """The tool in a tmux window: the visible screen, as a person sees it."""

    def __init__(self, args, cwd, env_prefix=""):
        self.socket = f"ta-key-e2e-{os.getpid()}-{time.monotonic_ns()}"
        # Fill the window first, so the clear has something to remove.
        script = ("for i in $(seq 1 60); do echo old line $i; done; "
                  + env_prefix + " ".join(shlex.quote(part) for part in command(args))
                  + "; echo EXIT=$?; sleep 600")
        self.tmux("new-session", "-d", "-x", "100", "-y", "45", "-c", str(cwd), "bash", "-c", script)

    def tmux(self, *args) -> str:
        return subprocess.run(["tmux", "-L", self.socket] + list(args), check=True,
                              stdout=subprocess.PIPE, text=True, errors="replace").stdout

    def lines(self):
        return [line.rstrip() for line in self.tmux("capture-pane", "-p").split("\n")]

    def wait_for(self, text: str, timeout=60.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if any(text in line for line in self.lines()):
                return
            time.sleep(0.1)
        raise AssertionError(f"never saw {text!r} on the screen:\n" + "\n".join(self.lines()))

    def type_line(self, text: str):
        if text:
            self.tmux("send-keys", "-l", text)
        self.tmux("send-keys", "Enter")

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], stderr=subprocess.DEVNULL)


def screen_of(data: bytes):
    return [line.rstrip() for line in data.decode("latin-1").split("\r\n")]


class ScreenRuns(Workspace):
    def setUp(self):
        if shutil.which("tmux") is None:
            self.skipTest("tmux is not installed")
        super().setUp()
        self.screen = None

    def tearDown(self):
        if self.screen is not None:
            self.screen.close()
        super().tearDown()

    def test_run_seen_on_a_cleared_window(self):
        original = sample("tk981.dat")
        path = self.put("radio.dat", original)
        self.screen = Screen([], self.folder)
        self.screen.wait_for(FILE_QUESTION.decode().rstrip())
        self.screen.type_line("radio.dat")
        self.screen.wait_for(KEY_QUESTION.decode().rstrip())
        self.screen.type_line("7")
        self.screen.wait_for("EXIT=0")
        expected = screen_of(BANNER + FILE_QUESTION + b"radio.dat\r\n" + detected(b"TK-981.")
                             + menu(TK981_NAMES) + KEY_QUESTION + b"7\r\n" + updated(b"radio.dat"))
        shown = self.screen.lines()
        # The banner starts at the window's top: the old lines are gone.
        self.assertEqual(shown[: len(expected) - 1], expected[:-1])
        self.assertEqual(shown[len(expected) - 1], "EXIT=0")
        self.assertEqual(path.read_bytes(), with_slot(original, 329))

    def test_end_of_input_typed_at_the_key_question(self):
        original = sample("tk481v2.dat")
        path = self.put("radio.dat", original)
        self.screen = Screen(["radio.dat"], self.folder)
        self.screen.wait_for(KEY_QUESTION.decode().rstrip())
        if is_windows_build():
            self.screen.tmux("send-keys", "C-z")
            self.screen.type_line("")
        else:
            self.screen.tmux("send-keys", "C-d")
        self.screen.wait_for("EXIT=0")
        shown = self.screen.lines()
        question = shown.index(next(line for line in shown if line.startswith(KEY_QUESTION.decode().rstrip())))
        # Exactly one line advance after the answer, then the tool has ended.
        self.assertEqual(shown[question + 1], "EXIT=0")
        self.assertEqual(path.read_bytes(), original)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", type=Path, required=True)
    parser.add_argument("--runner", default="")
    parser.add_argument("--examples", type=Path, default=Path(__file__).resolve().parents[2] / "examples")
    OPTIONS, rest = parser.parse_known_args()
    OPTIONS.program = OPTIONS.program.resolve()
    OPTIONS.examples = OPTIONS.examples.resolve()
    if uses_wine():
        start_wine()  # also makes each start of the program quick
    try:
        unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
    finally:
        if uses_wine():
            for options in [{}] + list(UNPRIVILEGED_WINE.values()):
                stop_wine(**options)


if __name__ == "__main__":
    main()
