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


def command(args, program=None):
    return shlex.split(OPTIONS.runner) + [str(program or OPTIONS.program)] + list(args)


UNPRIVILEGED_PROGRAM = []


def unprivileged_program() -> Path:
    """A copy of the program that any user can run, wherever the build lives
    (a checkout in a private folder is out of another user's reach)."""
    if not UNPRIVILEGED_PROGRAM:
        folder = Path(tempfile.mkdtemp(prefix="ta-key-program-"))
        os.chmod(folder, 0o755)
        copy = folder / OPTIONS.program.name
        shutil.copy2(OPTIONS.program, copy)
        os.chmod(copy, 0o755)
        UNPRIVILEGED_PROGRAM.append(copy)
    return UNPRIVILEGED_PROGRAM[0]


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
        program = None
        if user is not None:
            options.update(user=user, group=user, extra_groups=[], env=unprivileged_environment(user))
            program = unprivileged_program()
        process = subprocess.Popen(command(args, program), cwd=self.folder, **options)
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

    def test_script_answering_through_pipes_sees_the_menu_first(self):
        # Lines end in CR alone, and the key is sent only once the menu shows.
        original = sample("tk981.dat")
        path = self.put("radio.dat", original)
        process = subprocess.Popen(command([]), cwd=self.folder, stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        process.stdin.write(b"radio.dat\r")
        process.stdin.flush()
        shown = b""
        deadline = time.monotonic() + 30
        while not shown.endswith(b"    0 -- Exit \r\n\r\n"):
            ready = select.select([process.stdout], [], [], max(0.0, deadline - time.monotonic()))[0]
            chunk = os.read(process.stdout.fileno(), 4096) if ready else b""
            if not chunk:
                process.kill()
                self.fail(f"the menu never came; got {shown!r}")
            shown += chunk
        rest, errors = process.communicate(b"5\r", timeout=30)
        self.assertEqual(shown + rest, SAMPLE_RUN + updated(b"radio.dat"))
        self.assertEqual((process.returncode, errors), (0, b""))
        self.assertEqual(path.read_bytes(), with_slot(original, 327))

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


SAMPLE_RUN = BANNER + detected(b"TK-981.") + menu(TK981_NAMES)
GIB = 1 << 30


class Row:
    """One bad-input case: the files before, how the tool is started, and
    everything that must hold afterwards. `after` maps each file name to its
    bytes afterwards (None: it must not exist); unnamed files must not change."""

    def __init__(self, label, args, answers=b"", files=None, stdout=SAMPLE_RUN, status=0,
                 stderr=b"", after=None, posix_only=False, **options):
        self.label, self.args, self.answers = label, args, answers
        self.files = files if files is not None else {"radio.dat": sample("tk981.dat")}
        self.stdout, self.status, self.stderr = stdout, status, stderr
        self.after = after or {}
        self.posix_only = posix_only
        self.options = options


def close_descriptor(descriptor):
    return lambda: os.close(descriptor)


def bad_input_rows():
    radio = sample("tk981.dat")
    fixed = lambda position: {"radio.dat": with_slot(radio, position)}
    done = SAMPLE_RUN + updated(b"radio.dat")
    too_short = b"radio.dat could not be updated: the file is too short to hold the key slots\r\n"
    # Answers read from the file itself would pick key 5: the file must never
    # stand in for a closed standard input.
    answer_like = b"5\n\x0091" + bytes(400)
    nobody = 65534 if os.name == "posix" and os.geteuid() == 0 else None
    device = "NUL" if is_windows_build() else "/dev/zero"
    return [
        # files
        Row("missing file", ["new.dat"], b"9\n", files={}, stdout=BANNER + NOT_VALID,
            after={"new.dat": b""}),
        Row("empty file", ["radio.dat"], b"9\n", files={"radio.dat": b""}, stdout=BANNER + NOT_VALID),
        Row("1 byte", ["radio.dat"], b"9\n", files={"radio.dat": b"4"}, stdout=BANNER + NOT_VALID),
        Row("5 bytes", ["radio.dat"], b"9\n", files={"radio.dat": radio[:5]}, stdout=BANNER + NOT_VALID),
        Row("20 bytes", ["radio.dat"], b"1\n", files={"radio.dat": radio[:20]}, status=1,
            stderr=too_short),
        Row("shorter than the slot", ["radio.dat"], b"9\n", files={"radio.dat": radio[:330]},
            status=1, stderr=too_short),
        Row("exactly the slot's length", ["radio.dat"], b"9\n", files={"radio.dat": radio[:331]},
            stdout=done, after={"radio.dat": with_slot(radio[:331], 331)}),
        Row("read-only file", ["radio.dat"], b"1\n", files={"radio.dat": radio}, status=1,
            stderr=b"radio.dat could not be updated: the file is read-only\r\n", mode=0o444, user=nobody),
        Row("directory", ["folder"], b"1\n", files={}, stdout=BANNER + NOT_VALID, folder=True),
        Row("FIFO", ["fifo"], b"1\n", files={}, stdout=BANNER + NOT_VALID, fifo=True, posix_only=True),
        Row("device", [device], b"1\n", files={}, stdout=BANNER + NOT_VALID),
        Row("symbolic link to a saved file", ["link.dat"], b"4\n", stdout=SAMPLE_RUN + updated(b"link.dat"),
            after=fixed(326), link=True),
        # names
        Row("blanks around the name", [" radio file.dat "], b"5\n",
            files={" radio file.dat ": radio}, stdout=SAMPLE_RUN + updated(b" radio file.dat "),
            after={" radio file.dat ": with_slot(radio, 327)}, posix_only=True),
        Row("typed name keeps trailing blanks", [], b"  radio.dat  \n5\n",
            files={"radio.dat  ": radio}, stdout=SAMPLE_RUN + updated(b"radio.dat  "),
            after={"radio.dat  ": with_slot(radio, 327)}, posix_only=True),
        Row("comma in an argument", ["a,b.dat"], b"5\n", files={"a,b.dat": radio},
            stdout=SAMPLE_RUN + updated(b"a,b.dat"), after={"a,b.dat": with_slot(radio, 327)}),
        Row("comma in a quoted answer", [], b'"a,b.dat",5\n', files={"a,b.dat": radio},
            stdout=SAMPLE_RUN + updated(b"a,b.dat"), after={"a,b.dat": with_slot(radio, 327)}),
        Row("double quotes in the name", ['say "hi".dat'], b"5\n", files={'say "hi".dat': radio},
            stdout=SAMPLE_RUN + updated(b'say "hi".dat'), after={'say "hi".dat': with_slot(radio, 327)},
            posix_only=True),
        Row("bytes above 127", [os.fsdecode(b"r\xe9dio.dat")], b"5\n",
            files={os.fsdecode(b"r\xe9dio.dat"): radio}, stdout=SAMPLE_RUN + updated(b"r\xe9dio.dat"),
            after={os.fsdecode(b"r\xe9dio.dat"): with_slot(radio, 327)}, posix_only=True),
        Row("leading dash is a name", ["-radio.dat"], b"5\n", files={"-radio.dat": radio},
            stdout=SAMPLE_RUN + updated(b"-radio.dat"), after={"-radio.dat": with_slot(radio, 327)}),
        Row("5000-character name", ["n" * 5000], b"5\n", stdout=BANNER + NOT_VALID),
        Row("5000-character typed name", [], b"n" * 5000 + b"\n5\n", stdout=BANNER + NOT_VALID),
        # answers
        Row("NUL after the key", ["radio.dat"], b"5\x00\n", stdout=done, after=fixed(327)),
        Row("NUL inside the typed name", [], b"radio.dat\x00x\n5\n", stdout=BANNER + NOT_VALID),
        Row("binary garbage as the key", ["radio.dat"], bytes(range(256)) * 8),
        Row("binary garbage as the name", [], bytes(range(255, -1, -1)) * 8, stdout=BANNER + NOT_VALID),
        Row("CR line ends", [], b"radio.dat\r7\r", stdout=SAMPLE_RUN + updated(b"radio.dat"),
            after=fixed(329)),
        Row("CR LF line ends", [], b"radio.dat\r\n7\r\n", stdout=SAMPLE_RUN + updated(b"radio.dat"),
            after=fixed(329)),
        Row("end of input at the file question", [], b"", stdout=BANNER + NOT_VALID),
        Row("end of input at the key question", [], b"radio.dat"),
        # streams
        Row("standard input closed", ["radio.dat"], files={"radio.dat": answer_like},
            stdin_closed=True),
        Row("standard output closed", ["radio.dat"], b"5\n", stdout=b"", after=fixed(327),
            stdout_closed=True),
        Row("standard error closed", ["radio.dat"], b"9\n", files={"radio.dat": radio[:330]},
            status=1, stderr_closed=True),
        Row("output to a full device", ["radio.dat"], b"5\n", stdout=b"", after=fixed(327),
            stdout_path="/dev/full"),
        Row("output to a pipe nobody reads", ["radio.dat"], b"5\n", stdout=b"", after=fixed(327),
            stdout_unread=True),
    ]


class BadInputTable(Workspace):
    def start(self, row):
        """Lays out the row's files and returns the Popen options."""
        for name, data in row.files.items():
            self.put(name, data, row.options.get("mode", 0o666))
        if row.options.get("folder"):
            (self.folder / "folder").mkdir()
        if row.options.get("fifo"):
            os.mkfifo(self.folder / "fifo")
        if row.options.get("link"):
            os.symlink("radio.dat", self.folder / "link.dat")
        streams = {}
        for flag, descriptor in (("stdin_closed", 0), ("stdout_closed", 1), ("stderr_closed", 2)):
            if row.options.get(flag):
                streams["preexec_fn"] = close_descriptor(descriptor)
        if "stdout_path" in row.options:
            streams["stdout"] = open(row.options["stdout_path"], "wb")
        if row.options.get("stdout_unread"):
            reader, writer = os.pipe()
            os.close(reader)
            streams["stdout"] = writer
        return streams

    def test_bad_input(self):
        for row in bad_input_rows():
            # FIFOs, and names Windows cannot hold (trailing blanks, quotes, bytes
            # outside its code page), exist only on POSIX.
            if row.posix_only and is_windows_build():
                continue
            with self.subTest(row.label):
                self.tearDown()
                self.setUp()
                streams = self.start(row)
                code, out, err = self.run_tool(row.args, row.answers, user=row.options.get("user"),
                                               timeout=30, **streams)
                for stream in streams.values():
                    if hasattr(stream, "close"):
                        stream.close()
                    elif isinstance(stream, int):
                        os.close(stream)
                self.assertEqual(out, row.stdout)
                self.assertEqual(err, row.stderr)
                self.assertEqual(code, row.status)
                expected = dict(row.files)
                expected.update(row.after)
                for name, data in expected.items():
                    path = self.folder / name
                    if data is None:
                        self.assertFalse(path.exists(), name)
                    else:
                        self.assertEqual(path.read_bytes(), data, name)
                # Nothing else appeared beside the named files.
                present = {path.name for path in self.folder.iterdir()}
                allowed = set(expected) | {"folder", "fifo", "link.dat"}
                self.assertLessEqual(present, allowed)
                if row.options.get("link"):
                    self.assertTrue((self.folder / "link.dat").is_symlink())

    def test_four_gib_sparse_file(self):
        radio = sample("tk981.dat")
        path = self.put("big.dat", radio)
        os.truncate(path, 4 * GIB)
        self.assert_run(["big.dat"], b"9\n", SAMPLE_RUN + updated(b"big.dat"))
        self.assertEqual(path.stat().st_size, 4 * GIB)
        with open(path, "rb") as data:
            self.assertEqual(data.read(len(radio)), with_slot(radio, 331))

    def test_one_gib_answer_without_line_end(self):
        # The tool takes what it needs and ends; the writer then finds no reader.
        feeder = subprocess.Popen(
            [sys.executable, "-c",
             "import sys\nchunk = b'n' * 65536\ntry:\n"
             "    for _ in range(16384): sys.stdout.buffer.write(chunk)\n"
             "except BrokenPipeError:\n    pass\n"],
            stdout=subprocess.PIPE)
        code, out, err = self.run_tool([], stdin=feeder.stdout, timeout=60)
        feeder.stdout.close()
        feeder.kill()
        feeder.wait()
        self.assertEqual((code, out, err), (0, BANNER + NOT_VALID, b""))
        self.assertEqual(list(self.folder.iterdir()), [])


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
        for copy in UNPRIVILEGED_PROGRAM:
            shutil.rmtree(copy.parent, ignore_errors=True)
        if uses_wine():
            for options in [{}] + list(UNPRIVILEGED_WINE.values()):
                stop_wine(**options)


if __name__ == "__main__":
    main()
