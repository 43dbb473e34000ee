#!/usr/bin/env python3
"""Writes samples/library.tsv: a made-up music library of about 2,000 songs.

Every name is invented from syllables. The spreads look like a real collection
(about 12 songs per artist, albums of 8-15 songs, a few popular genres and many rare
ones, song lengths around a median of 230 s) and the awkward cases the catalogue must
cope with are all present: empty and null fields, artists with a leading "The " in
several spellings, names that merely start with "The", values that differ only in
case, Latin-1 accented letters, unknown lengths and extended information whose values
need escapes.

The output is the same on every run (fixed seed, no hash-ordered iteration) and is
written as Latin-1 bytes. Usage: make_sample_library.py [output-path]
"""

import math
import os
import random
import sys

SEED = 20261207
TARGET_SONGS = 2000

HEADER = "filename\ttitle\talbum\tartist\tcomment\tgenre\tyear\ttrack\tlength\textended"

ONSETS = ["b", "br", "c", "ch", "d", "dr", "f", "g", "gr", "h", "j", "k", "kl", "l", "m",
          "n", "p", "qu", "r", "s", "sh", "st", "t", "tr", "v", "w", "z"]
VOWELS = ["a", "e", "i", "o", "u", "ai", "ea", "ou", "y"]
CODAS = ["", "", "", "n", "r", "l", "s", "th", "nd", "x", "m", "ck", "v"]
ACCENTED = {"a": "\u00e1", "e": "\u00e9", "i": "\u00ef", "o": "\u00f6", "u": "\u00fc"}

WORDS = ["night", "river", "glass", "summer", "engine", "silver", "window", "harbour",
         "paper", "lantern", "thunder", "echo", "velvet", "orbit", "signal", "garden",
         "winter", "mirror", "shadow", "falling", "highway", "static", "northern",
         "golden", "hollow", "distant", "electric", "quiet", "burning", "little",
         "broken", "morning", "satellite", "ocean", "wire", "dust", "fever", "crown",
         "letter", "station", "island", "machine", "candle", "storm", "feather", "stone"]
LINKS = ["of the", "in the", "on the", "and the", "for", "at", "under", "over the",
         "without", "after the"]

# Genre names are common words; popularity falls off with rank (Zipf-like).
GENRES = ["Rock", "Pop", "Alternative", "Electronic", "Jazz", "Hip-Hop", "Folk",
          "Indie", "Metal", "Soul", "Blues", "Country", "Classical", "Ambient", "Funk",
          "Reggae", "Punk", "R&B", "Techno", "House", "Soundtrack", "Latin", "Disco",
          "Gospel", "Ska", "Trance", "Bluegrass", "Chanson", "Grunge", "Shoegaze",
          "Drum & Bass", "Lounge", "Krautrock", "Zydeco"]


def word(rng, syllables):
    parts = []
    for _ in range(syllables):
        parts.append(rng.choice(ONSETS) + rng.choice(VOWELS) + rng.choice(CODAS))
    return "".join(parts)


def name_word(rng, syllables=2):
    return word(rng, syllables).capitalize()


def accented(rng, text):
    """Replaces one vowel by an accented Latin-1 letter."""
    spots = [i for i, c in enumerate(text) if c in ACCENTED]
    if not spots:
        return text
    i = rng.choice(spots)
    return text[:i] + ACCENTED[text[i]] + text[i + 1:]


def make_title(rng):
    shape = rng.random()
    if shape < 0.35:
        text = rng.choice(WORDS).capitalize() + " " + rng.choice(WORDS).capitalize()
    elif shape < 0.6:
        text = " ".join(w.capitalize() for w in
                        (rng.choice(WORDS), rng.choice(LINKS), rng.choice(WORDS)))
    elif shape < 0.8:
        text = rng.choice(WORDS).capitalize()
    else:
        text = name_word(rng, rng.randint(1, 3))
    return text


def make_artist(rng, index):
    shape = rng.random()
    if shape < 0.45:
        return name_word(rng, rng.randint(1, 2)) + " " + name_word(rng, rng.randint(1, 3))
    if shape < 0.65:
        return "The " + name_word(rng, 2) + "s"
    if shape < 0.85:
        return name_word(rng, rng.randint(2, 3))
    return rng.choice(WORDS).capitalize() + " " + name_word(rng, 2)


def zipf_weights(count, exponent=1.1):
    return [1.0 / math.pow(rank, exponent) for rank in range(1, count + 1)]


def song_length(rng):
    # Log-normal around a median of 230 s, kept between 30 s and 20 minutes.
    seconds = int(round(230 * math.exp(rng.gauss(0.0, 0.38))))
    roll = rng.random()
    if roll < 0.01:
        seconds *= rng.randint(3, 5)  # the odd long track
    elif roll < 0.03:
        seconds = rng.randint(30, 75)  # an interlude
    return max(30, min(1200, seconds))


def path_safe(text, fallback):
    cleaned = "".join(c for c in text if c not in '\\/:*?"<>|\t\n').strip()
    return cleaned or fallback


def escape(text, in_extended=False):
    if text is None:
        return "\\N"
    out = []
    for c in text:
        if c == "\\":
            out.append("\\\\")
        elif c == "\t":
            out.append("\\t")
        elif c == "\n":
            out.append("\\n")
        elif c == "\r":
            out.append("\\r")
        elif in_extended and c in ";=":
            out.append("\\" + c)
        else:
            out.append(c)
    return "".join(out)


class Song:
    def __init__(self, artist, album, title, genre, year, track, length):
        self.artist = artist
        self.album = album
        self.title = title
        self.genre = genre
        self.year = year
        self.track = track
        self.length = length
        self.comment = ""
        self.extended = []  # (name, value) pairs in order
        self.filename = None

    def line(self):
        extended = ";".join(escape(n, True) + "=" + escape(v, True) for n, v in self.extended)
        fields = [escape(self.filename), escape(self.title), escape(self.album),
                  escape(self.artist), escape(self.comment), escape(self.genre),
                  str(self.year), str(self.track), str(self.length), extended]
        return "\t".join(fields)


def make_album(rng, artist, genre, year, tracks, used_titles):
    album = make_title(rng)
    if rng.random() < 0.08:
        album = accented(rng, album)
    songs = []
    for track in range(1, tracks + 1):
        if used_titles and rng.random() < 0.03:
            title = rng.choice(used_titles)  # a cover: the same title by another artist
        else:
            title = make_title(rng)
            if rng.random() < 0.05:
                title = accented(rng, title)
        used_titles.append(title)
        song_genre = genre if rng.random() < 0.9 else None
        songs.append(Song(artist, album, title, song_genre, year, track, song_length(rng)))
    return songs


def build(rng):
    genre_weights = zipf_weights(len(GENRES))
    used_titles = []
    songs = []
    index = 0
    while len(songs) < TARGET_SONGS - 120:
        artist = make_artist(rng, index)
        index += 1
        if rng.random() < 0.07:
            artist = accented(rng, artist)
        genre = rng.choices(GENRES, genre_weights)[0]
        albums = rng.choices([1, 2, 3], [80, 17, 3])[0]
        year = rng.randint(1962, 2024)
        for _ in range(albums):
            tracks = rng.randint(8, 15)
            if albums == 1 and rng.random() < 0.15:
                tracks = rng.randint(1, 6)  # a single or an EP
            songs.extend(make_album(rng, artist, genre, year, tracks, used_titles))
            year = min(2025, year + rng.randint(1, 4))
    for song in songs:
        if song.genre is None:
            song.genre = rng.choices(GENRES, genre_weights)[0]
    songs.extend(awkward_songs(rng, genre_weights))
    return songs


def awkward_songs(rng, genre_weights):
    """Hand-made cases, each one a song or an album of the library."""
    songs = []

    def add(artist, album, titles, genre, year=2001):
        for track, title in enumerate(titles, 1):
            songs.append(Song(artist, album, title, genre, year, track, song_length(rng)))

    def titles(count):
        return [make_title(rng) for _ in range(count)]

    # One band under every spelling of its article: sorted together as "Vardeks, The",
    # except the all-capitals one, which stays a value of its own.
    add("The Vardeks", "Paper Harbour", titles(10), "Rock", 1994)
    add("the Vardeks", "Paper Harbour", titles(2), "Rock", 1994)
    add("Vardeks, The", "Live at the Orbit", titles(8), "rock", 1997)
    add("THE VARDEKS", "Singles", titles(3), "ROCK", 1999)
    add("Vardeks", "Vardeks", titles(4), "Rock", 1990)  # without the article
    add("the quillons", "Velvet Engine", titles(9), "Indie", 2008)
    add("Molsten, the", "Northern Signal", titles(8), "Folk", 2012)
    add("Thelvin Marsh", "Quiet Machine", titles(9), "Jazz", 1961)
    add("Theodora Kain", "Glass Lantern", titles(11), "Soul", 1973)
    add("Thessaly Ray", "Theory of Dust", titles(8), "Electronic", 2019)
    add("Them Rivals", "Them Rivals", titles(2), "Punk", 1979)
    add("The", "The", ["The"], "Pop", 2003)
    add("The ", "Article Only", ["Nothing After"], "Pop", 2003)
    add("Theatre", "Stage Left", titles(2), "Soundtrack", 2015)
    # Values that differ only in case.
    add("Kora Vint", "into the night", ["Into the Night", "Into The Night", "INTO THE NIGHT"],
        "Electronic", 2010)
    add("kora vint", "Into the Night", ["into the night"], "electronic", 2010)
    # Latin-1 letters, also at the start of a value (they sort after every ASCII letter).
    add("\u00c9lodie Fa\u00e7on", "Caf\u00e9 \u00e0 Minuit",
        ["R\u00eaverie", "\u00c9t\u00e9 Br\u00fblant", "Na\u00efve", "Sm\u00f6rg\u00e5s",
         "Stra\u00dfe", "Fj\u00f8rd"], "Chanson", 1988)
    add("\u00d8ster Gr\u00e6n", "M\u00f8rke Vand", titles(8), "Ambient", 2016)
    add("Zo\u00eb Sta\u00f1", "Se\u00f1ales", titles(8), "Latin", 2021)
    # Empty fields: no album, no genre, no artist, no title, and nothing at all.
    add("Pellam Doss", "", titles(3), "Blues", 1966)
    add("Pellam Doss", "Lowland", titles(2), "", 1967)
    add("", "Found Tapes", titles(3), "Folk", 0)
    add("Wren Tallis", "Untitled Works", ["", ""], "Ambient", 2020)
    add("", "", [""], "", 0)
    return songs


def finish(rng, songs):
    # Unknown lengths, comments and extended information.
    for song in rng.sample(songs, 6):
        song.length = -1
    comments = ["Remastered", "Live recording", "Bonus track", "Demo", "Mono mix",
                "Recorded in one take", "From the vinyl, side B"]
    for song in songs:
        if rng.random() < 0.12:
            song.comment = rng.choice(comments)
        if rng.random() < 0.3:
            song.extended.append((rng.choice(["rating", "rating", "Rating"]),
                                  str(rng.randint(1, 5))))
        if rng.random() < 0.15:
            song.extended.append(("BPM", str(rng.randint(60, 180))))
    odd = rng.sample(songs, 8)
    odd[0].comment = "Tab\tinside and a back\\slash"
    odd[1].comment = None
    odd[2].genre = None
    odd[3].extended = [("rating", "5"), ("RATING", "3")]
    odd[4].extended = [("", "no name"), ("mood", "calm")]
    odd[5].extended = [("tags", "night;drive"), ("key", "C=major")]
    odd[6].extended = [("note", "")]
    odd[7].comment = "Line one\nline two"
    for song in songs:
        artist = path_safe(song.artist or "", "Unknown Artist")
        album = path_safe(song.album or "", "Unknown Album")
        title = path_safe(song.title or "", "Track")
        song.filename = "C:\\Music\\%s\\%s\\%02d %s.mp3" % (artist, album, song.track, title)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "samples", "library.tsv")
    out_path = sys.argv[1] if len(sys.argv) > 1 else default
    rng = random.Random(SEED)
    songs = build(rng)
    finish(rng, songs)
    lines = [HEADER] + [song.line() for song in songs]
    with open(out_path, "wb") as out:
        out.write(("\n".join(lines) + "\n").encode("latin-1"))
    print("%s: %d songs" % (os.path.normpath(out_path), len(songs)))


if __name__ == "__main__":
    main()
