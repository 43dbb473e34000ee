#!/usr/bin/env python3
"""tunyra's two timing goals, each against its peer in the same run.

1. Ready on MPD: a private MPD (temporary folder, Unix socket, null output) whose
   database holds SONGS generated songs (written as MPD's own database file, so no
   audio is made and no update runs). The peer is `mpc listall` with the tags tunyra
   reads; tunyra is started in tmux at 80x24 and timed until its dialog is drawn.
   Goal: within 1.5x of the peer.
2. A key press with a million values in a column: a library file of 1M distinct
   titles, tunyra in tmux, the title column focused, KEYS presses of `j` sent at once
   and timed until the tick that follows them shows; per key. The peer is the same with
   a column of a thousand values. Goal: under 16 ms a key.

Wall-clock times, best of RUNS. Usage: bench/tui_bench.py TUNYRA [SONGS]"""
import gzip
import os
import shutil
import subprocess
import sys
import tempfile
import time

TUNYRA = os.path.abspath(sys.argv[1])
SONGS = int(sys.argv[2]) if len(sys.argv) > 2 else 100_000
RUNS = int(os.environ.get("RUNS", "3"))
KEYS = 400
BOUND = 120  # seconds any wait may take

work = tempfile.mkdtemp(prefix="tunyra-tui-bench-")
sock = os.path.join(work, "socket")
tmux_sock = os.path.join(work, "tmux.sock")
mpd_pid = None


def tmux(*args, check=True):
    return subprocess.run(["tmux", "-S", tmux_sock, *args], capture_output=True, text=True, check=check).stdout


def screen():
    return tmux("capture-pane", "-p", "-t", "t", check=False)


def wait_for(text, start):
    while time.monotonic() - start < BOUND:
        if text in screen():
            return time.monotonic() - start
        time.sleep(0.002)
    raise SystemExit(f"tui bench: '{text}' never showed:\n{screen()}")


MPD_TAGS = ("Artist", "ArtistSort", "Album", "AlbumSort", "AlbumArtist", "AlbumArtistSort", "Title", "Track", "Name", "Genre", "Date", "OriginalDate", "Composer", "ComposerSort", "Performer", "Conductor", "Work", "Movement", "MovementNumber", "Ensemble", "Location", "Grouping", "Disc", "Label", "MUSICBRAINZ_ARTISTID", "MUSICBRAINZ_ALBUMID", "MUSICBRAINZ_ALBUMARTISTID", "MUSICBRAINZ_TRACKID", "MUSICBRAINZ_RELEASETRACKID", "MUSICBRAINZ_WORKID")


def write_mpd_database(path, count):
    genres = [f"Genre {g:02}" for g in range(40)]
    with gzip.open(path, "wt", compresslevel=1) as db:
        db.write("info_begin\nformat: 2\nmpd_version: 0.23.12\nfs_charset: UTF-8\n")
        # MPD discards a database whose list of tags is not the one it keeps.
        for tag in MPD_TAGS:
            db.write(f"tag: {tag}\n")
        db.write("info_end\n")
        per_artist = 12
        for a in range((count + per_artist - 1) // per_artist):
            folder = f"a{a:06}"
            db.write(f"directory: {folder}\nmtime: 0\nbegin: {folder}\n")
            for s in range(min(per_artist, count - a * per_artist)):
                n = a * per_artist + s
                db.write(f"song_begin: {n:07}.flac\nTime: {120 + n % 300}.000000\nArtist: Artist {a:06}\n"
                         f"Title: Song {n:07}\nAlbum: Album {a:06} {s // 8}\nGenre: {genres[(a * 7) % 40]}\n"
                         f"Track: {s + 1}\nmtime: 0\nsong_end\n")
            db.write(f"end: {folder}\n")


def start_mpd(count):
    global mpd_pid
    os.makedirs(os.path.join(work, "music"))
    os.makedirs(os.path.join(work, "playlists"))
    write_mpd_database(os.path.join(work, "database"), count)
    conf = os.path.join(work, "mpd.conf")
    with open(conf, "w") as f:
        f.write(f'music_directory "{work}/music"\nplaylist_directory "{work}/playlists"\n'
                f'db_file "{work}/database"\nlog_file "{work}/log"\nbind_to_address "{sock}"\n'
                # The peer's one answer of every song needs more than MPD's default 8 MiB.
                'max_output_buffer_size "262144"\n'
                'audio_output {\n  type "null"\n  name "null"\n}\n')
    mpd = subprocess.Popen(["mpd", "--no-daemon", conf], stderr=subprocess.DEVNULL)
    mpd_pid = mpd.pid
    start = time.monotonic()
    while time.monotonic() - start < BOUND:
        stats = subprocess.run(["mpc", "-h", sock, "stats"], capture_output=True, text=True).stdout
        if "Songs:" in stats:
            songs = int(stats.split("Songs:")[1].split()[0])
            if songs != count:
                raise SystemExit(f"tui bench: MPD holds {songs} songs, not {count}")
            return
        time.sleep(0.05)
    raise SystemExit("tui bench: MPD did not start")


def best(measure):
    return min(measure() for _ in range(RUNS))


def mpc_listall():
    start = time.monotonic()
    out = subprocess.run(["mpc", "-h", sock, "-f", "%file%\t%title%\t%album%\t%artist%\t%genre%\t%time%", "listall"],
                         capture_output=True, check=True).stdout
    took = time.monotonic() - start
    assert out.count(b"\n") == SONGS
    return took


def tunyra_ready(library, env=""):
    start = time.monotonic()
    # A server that is still ending refuses a new session for a moment.
    for _ in range(100):
        if subprocess.run(["tmux", "-S", tmux_sock, "new-session", "-d", "-s", "t", "-x", "80", "-y", "24",
                           f"{env} LANG=C.UTF-8 MPD_HOST='{sock}' '{TUNYRA}' '{library}'; sleep 600"],
                          capture_output=True).returncode == 0:
            break
        time.sleep(0.02)
        start = time.monotonic()
    else:
        raise SystemExit("tui bench: tmux refused a new session")
    took = wait_for("Genre ", start)
    wait_for("in the queue", start)
    return took


def quit_tunyra():
    tmux("kill-server", check=False)


def key_presses(library, values):
    """Per key, with the title column of `values` values."""
    tunyra_ready(library)
    tmux("send-keys", "-t", "t", "Tab")
    wait_for(f"Title 0/{values}", time.monotonic())
    times = []
    for run in range(RUNS):
        start = time.monotonic()
        tmux("send-keys", "-t", "t", "-N", str(KEYS), "j")
        tmux("send-keys", "-t", "t", "Space")
        # Each run ticks the value KEYS rows further; the count shows the tick.
        wait_for(f"Title {run + 1}/{values}", start)
        times.append((time.monotonic() - start) / (KEYS + 1))
    quit_tunyra()
    return min(times)


def title_library(path, count):
    with open(path, "w") as f:
        f.write("filename\ttitle\talbum\tartist\tcomment\tgenre\tyear\ttrack\tlength\textended\n")
        for n in range(count):
            f.write(f"/m/{n:07}.flac\tTitle {n:07}\tAlbum {n // 10:06}\tArtist {n // 100:05}\t\tGenre {n % 40}\t"
                    f"2000\t{n % 10 + 1}\t{120 + n % 300}\t\n")


def row(what, ours, peer, goal_ratio=None, goal_abs=None, unit="s"):
    ratio = ours / peer if peer > 0 else float("inf")
    if goal_ratio is not None:
        verdict = "PASS" if ratio <= goal_ratio else "MISS"
        goal = f"<= {goal_ratio}x peer"
    else:
        verdict = "PASS" if ours <= goal_abs else "MISS"
        goal = f"< {goal_abs * 1000:.0f} ms"
    scale = 1000 if unit == "ms" else 1
    print(f"{what:<44} {ours * scale:>9.3f} {unit}  peer {peer * scale:>9.3f} {unit}  ratio {ratio:5.2f}  "
          f"goal {goal:<14} {verdict}")
    return verdict == "PASS"


try:
    start_mpd(SONGS)
    peer = best(mpc_listall)

    def ready():
        took = tunyra_ready(f"mpd:{sock}")
        quit_tunyra()
        return took
    ours = best(ready)
    ok = row(f"ready on MPD, {SONGS} songs (peer: mpc listall)", ours, peer, goal_ratio=1.5)

    big, small = os.path.join(work, "million.tsv"), os.path.join(work, "thousand.tsv")
    title_library(big, 1_000_000)
    title_library(small, 1_000)
    peer_key = key_presses(small, 1_000)
    our_key = key_presses(big, 1_000_000)
    ok = row("key press, 1M values (peer: 1k values)", our_key, peer_key, goal_abs=0.016, unit="ms") and ok
    sys.exit(0 if ok else 1)
finally:
    quit_tunyra()
    if mpd_pid:
        os.kill(mpd_pid, 15)
    shutil.rmtree(work, ignore_errors=True)
