#!/usr/bin/python3
"""dbfclean-cli against real holders of a table on Linux: other processes that
have it open or locked, python3-dbf, a second dbfclean-cli, an index file held
open, a program that opens the table in the middle of a repair, a file of
another user, and a Windows client of a Samba server on the loopback address.

Every case checks the exit status, the lines and the bytes: where the run is
refused, nothing is written and nothing is erased.

Usage: in_use_test.py PATH-TO-dbfclean-cli
"""
import fcntl
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

CLI = None

HEADER = 32 + 2 * 32 + 1


def table(records):
    """A dBASE III table of NAME C(4) and QTY N(3) with these 8-byte records."""
    head = bytearray(32)
    head[0] = 3
    head[1:4] = bytes([126, 12, 10])
    struct.pack_into("<IHH", head, 4, len(records), HEADER, 8)
    fields = b""
    for name, kind, size in ((b"NAME", b"C", 4), (b"QTY", b"N", 3)):
        f = bytearray(32)
        f[0:len(name)] = name
        f[11:12] = kind
        f[16] = size
        fields += bytes(f)
    return bytes(head) + fields + b"\r" + b"".join(records) + b"\x1a"


DAMAGED = table([b" \0\0ab  1", b" x   \0\0\0"])
REPAIRED = table([b"   ab  1", b" x      "])


def run(*args):
    r = subprocess.run([CLI, *args], capture_output=True, text=True, timeout=120)
    return r.returncode, r.stdout, r.stderr


def leased_by(pid):
    with open("/proc/locks") as locks:
        return any(" LEASE " in line and " %d " % pid in line for line in locks)


class Holders(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="inuse-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.t = os.path.join(self.dir, "t.dbf")
        self.ndx = os.path.join(self.dir, "t.ndx")
        self.write(DAMAGED)

    def write(self, data, path=None):
        with open(path or self.t, "wb") as f:
            f.write(data)
        with open(self.ndx, "wb") as f:
            f.write(b"index")

    def read(self, path=None):
        with open(path or self.t, "rb") as f:
            return f.read()

    def refused(self, err, path):
        return err == ("Cleaning t.dbf database...\nProgram halted.\nError # 32 (File sharing violation)\n"
                       "Failure to open %s [USE/OpenDbf]\n" % path)

    def test_a_table_another_process_holds_is_never_written(self):
        # The holder, and the status of --check beside it: a check only
        # reads and is kept out only by one that holds the whole file.
        cases = [("rw", 1), ("ro", 1), ("record_lock", 1), ("xbase_lock", 1), ("ofd_record_lock", 1),
                 ("flock_shared", 1), ("whole_file_lock", 32), ("flock_exclusive", 32)]
        for holder, check in cases:
            with self.subTest(holder):
                self.write(DAMAGED)
                # In a child, as another program holds it.
                child = subprocess.Popen([sys.executable, "-c", HOLD, holder, self.t],
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE)
                try:
                    self.assertEqual(child.stdout.readline(), b"held\n")
                    status, out, err = run(self.dir)
                    self.assertEqual(status, 32, err)
                    self.assertEqual(out, "")
                    self.assertTrue(self.refused(err, self.t), err)
                    self.assertEqual(self.read(), DAMAGED)
                    self.assertTrue(os.path.exists(self.ndx))
                    status, out, err = run("--check", self.dir)
                    self.assertEqual(status, check, err)
                    self.assertEqual(self.read(), DAMAGED)
                finally:
                    child.stdin.close()
                    child.wait(30)
                    child.stdout.close()
                status, out, err = run(self.dir)
                self.assertEqual((status, self.read()), (0, REPAIRED), err)

    def test_python_dbf_with_the_table_open(self):
        import dbf
        held = dbf.Table(self.t)
        held.open(dbf.READ_WRITE)
        try:
            status, _, err = run(self.dir)
            self.assertEqual(status, 32)
            self.assertTrue(self.refused(err, self.t), err)
            self.assertEqual(self.read(), DAMAGED)
        finally:
            held.close()
        self.assertEqual(run(self.dir)[0], 0)
        self.assertEqual(self.read(), REPAIRED)

    def test_an_index_file_in_use_stops_the_run_before_its_first_write(self):
        fd = os.open(self.ndx, os.O_RDONLY)
        try:
            status, out, err = run(self.dir)
            self.assertEqual(status, 32)
            self.assertEqual(out, "")
            self.assertEqual(err, "Cleaning t.dbf database...\ndbfclean-cli: the index file %s is in use by another "
                                  "program; stopped before changing t.dbf (no table was changed and no index file "
                                  "was erased)\n" % self.ndx)
            self.assertEqual(self.read(), DAMAGED)
            self.assertTrue(os.path.exists(self.ndx))
        finally:
            os.close(fd)
        self.assertEqual(run(self.dir)[0], 0)
        self.assertFalse(os.path.exists(self.ndx))

    def start_big_repair(self, n):
        """A repair of big.dbf (n damaged records) stopped with SIGSTOP while
        it holds the table; next.dbf waits after it."""
        big = os.path.join(self.dir, "big.dbf")
        self.write(table([b" \0\0ab  1"] * n), big)
        shutil.copy(self.t, os.path.join(self.dir, "next.dbf"))
        os.remove(self.t)
        p = subprocess.Popen([CLI, self.dir], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.assertEqual(p.stderr.readline(), b"Cleaning big.dbf database...\n")
        for _ in range(2000):
            os.kill(p.pid, signal.SIGSTOP)
            if leased_by(p.pid):
                return p, big
            os.kill(p.pid, signal.SIGCONT)
            time.sleep(0.001)
        self.fail("the repair never held big.dbf")

    def test_a_program_that_opens_the_table_mid_repair_stops_the_run(self):
        n = 2000000
        p, big = self.start_big_repair(n)
        opened = []
        opener = threading.Thread(target=lambda: opened.append(os.open(big, os.O_RDWR)))
        opener.start()
        time.sleep(0.2)  # the open is held up by the repair's lease
        self.assertEqual(opened, [])
        began = time.monotonic()
        os.kill(p.pid, signal.SIGCONT)
        out, err = p.communicate(timeout=60)
        opener.join(60)
        self.assertLess(time.monotonic() - began, 10)  # not the system's 45 seconds
        os.close(opened[0])
        self.assertEqual(p.returncode, 32, err)
        err = err.decode()
        found = re.search(r"stopped after record (\d+) of", err)
        done = int(found.group(1)) if found else -1
        self.assertTrue(0 < done < n, err)
        counts = "%d zeroes in %d records" % (2 * done, done)
        self.assertEqual(err, "Erased t.ndx\nbig.dbf: %s\ndbfclean-cli: big.dbf was opened by another program: "
                              "stopped after record %d of %d; the repairs so far are on disk.\n" % (counts, done, n))
        self.assertEqual(out.decode(), "Stopped: fixed %s\n" % counts)
        after = self.read(big)
        cut = HEADER + done * 8
        self.assertEqual(after[HEADER:cut], b"   ab  1" * done)
        self.assertEqual(after[cut:cut + 8], b" \0\0ab  1")
        self.assertEqual(self.read(os.path.join(self.dir, "next.dbf")), DAMAGED)

    def test_a_second_dbfclean_is_refused_and_disturbs_nobody(self):
        p, big = self.start_big_repair(1000000)
        try:
            for args in ([self.dir], ["--check", self.dir]):
                status, out, err = run(*args)
                self.assertEqual(status, 32, err)
                self.assertIn("Failure to open %s [USE/OpenDbf]\n" % big, err)
        finally:
            os.kill(p.pid, signal.SIGCONT)
        out, err = p.communicate(timeout=60)
        self.assertEqual(p.returncode, 0, err)
        self.assertEqual(out, b"Database(s) are cleaned up! Fixed 2000005 zeroes in 1000002 records\n")

    @unittest.skipUnless(os.geteuid() == 0 and shutil.which("setpriv"), "needs root to act as another user")
    def test_a_table_of_another_user_is_checked_by_its_locks_and_named(self):
        os.chmod(self.dir, 0o777)
        for path in (self.t, self.ndx):
            os.chmod(path, 0o666)
        r = subprocess.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", CLI, self.dir],
                           capture_output=True, text=True, timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stderr, "Cleaning t.dbf database...\nErased t.ndx\nt.dbf: 5 zeroes in 2 records\n"
                                   "dbfclean-cli: could not tell whether other programs have these tables open (the "
                                   "file belongs to another user, and leasing it needs CAP_LEASE); only their locks "
                                   "were checked: %s\n" % self.t)
        self.assertEqual(self.read(), REPAIRED)


# The holder run as another program: takes hold of the file, says so, and
# keeps it until its input ends.
HOLD = r"""
import fcntl, os, sys
name, path = sys.argv[1], sys.argv[2]
fd = os.open(path, os.O_RDONLY if name in ("ro", "flock_shared", "flock_exclusive") else os.O_RDWR)
if name == "record_lock": fcntl.lockf(fd, fcntl.LOCK_EX | fcntl.LOCK_NB, 8, %d)
if name == "xbase_lock": fcntl.lockf(fd, fcntl.LOCK_EX | fcntl.LOCK_NB, 1, 0x40000000 + %d)
if name == "ofd_record_lock":
    import struct
    fcntl.fcntl(fd, 37, struct.pack("hh4xqqi4x", fcntl.F_WRLCK, 0, %d, 8, 0))
if name == "whole_file_lock": fcntl.lockf(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
if name == "flock_shared": fcntl.flock(fd, fcntl.LOCK_SH)
if name == "flock_exclusive": fcntl.flock(fd, fcntl.LOCK_EX)
print("held", flush=True)
sys.stdin.read()
""" % (HEADER, HEADER, HEADER + 8)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@unittest.skipUnless(os.geteuid() == 0 and os.path.exists("/usr/sbin/smbd"), "needs root and Samba's smbd")
class SambaShare(unittest.TestCase):
    """A table served by smbd on 127.0.0.1 to a client that keeps it open, as
    the dBASE application of a Windows PC does all day."""

    def setUp(self):
        try:
            import smbc  # noqa: F401
        except ImportError:
            self.skipTest("python3-smbc is not installed")
        self.root = tempfile.mkdtemp(prefix="smb-")
        self.addCleanup(shutil.rmtree, self.root, True)
        os.chmod(self.root, 0o755)  # the guest account reaches the share through it
        self.share = os.path.join(self.root, "share")
        os.mkdir(self.share)
        os.chmod(self.share, 0o777)
        self.port = free_port()
        state = {k: os.path.join(self.root, k) for k in ("private", "lock", "state", "cache", "pid", "log")}
        for d in state.values():
            os.mkdir(d)
        conf = os.path.join(self.root, "smb.conf")
        with open(conf, "w") as f:
            f.write("[global]\n"
                    "  interfaces = 127.0.0.1\n  bind interfaces only = yes\n  smb ports = %d\n"
                    "  disable netbios = yes\n  server role = standalone server\n"
                    "  map to guest = Bad User\n  guest account = nobody\n"
                    "  private dir = %s\n  lock directory = %s\n  state directory = %s\n"
                    "  cache directory = %s\n  pid directory = %s\n  log file = %s/log.%%m\n"
                    "  load printers = no\n  printing = bsd\n  printcap name = /dev/null\n"
                    "[share]\n  path = %s\n  read only = no\n  guest ok = yes\n  guest only = yes\n"
                    % (self.port, state["private"], state["lock"], state["state"], state["cache"], state["pid"],
                       state["log"], self.share))
        self.smbd = subprocess.Popen(["/usr/sbin/smbd", "--foreground", "--no-process-group", "-s", conf],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self.addCleanup(self.stop)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.port), 1).close()
                return
            except OSError:
                time.sleep(0.1)
        self.fail("smbd did not start")

    def stop(self):
        try:
            os.killpg(self.smbd.pid, signal.SIGTERM)
            self.smbd.wait(20)
        except (ProcessLookupError, subprocess.TimeoutExpired):
            os.killpg(self.smbd.pid, signal.SIGKILL)
            self.smbd.wait(20)

    def test_a_table_a_client_holds_open_is_refused_then_repaired_once_closed(self):
        import smbc
        t = os.path.join(self.share, "t.dbf")
        with open(t, "wb") as f:
            f.write(DAMAGED)
        with open(os.path.join(self.share, "t.ndx"), "wb") as f:
            f.write(b"index")
        os.chmod(t, 0o666)
        ctx = smbc.Context(auth_fn=lambda *a: ("WORKGROUP", "guest", ""))
        held = ctx.open("smb://127.0.0.1:%d/share/t.dbf" % self.port, os.O_RDWR)
        self.assertEqual(held.read(4)[:1], b"\x03")  # smbd has the file open for the client
        status, _, err = run(self.share)
        self.assertEqual(status, 32, err)
        self.assertIn("Failure to open %s [USE/OpenDbf]" % t, err)
        with open(t, "rb") as f:
            self.assertEqual(f.read(), DAMAGED)
        self.assertTrue(os.path.exists(os.path.join(self.share, "t.ndx")))
        held.close()
        deadline = time.monotonic() + 20
        while True:  # smbd closes its descriptor once the client's close has arrived
            status, out, err = run(self.share)
            if status == 0 or time.monotonic() > deadline:
                break
            time.sleep(0.2)
        self.assertEqual(status, 0, err)
        with open(t, "rb") as f:
            self.assertEqual(f.read(), REPAIRED)
        self.assertFalse(os.path.exists(os.path.join(self.share, "t.ndx")))


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
