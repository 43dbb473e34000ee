#pragma once
// Every key of tunyra, one list for the help screen (?) and for --help, from which the
// manual page is made: a key is never in one and not the other. A line not starting
// with a blank is a heading.

namespace tunyra {

inline constexpr const char* kKeyHelp[] = {
    "Keys in the dialog:",
    "  Tab, Shift-Tab     next, previous: the four lists, the time, the options",
    "  Up Down, k j       move in the list",
    "  g G, Home End      first, last value",
    "  PgUp PgDn          a page up, down",
    "  Ctrl-u Ctrl-d      half a page up, down",
    "  Space              tick or untick the value (in the options: change the item)",
    "  A, N, R            All, None, Reverse of the column",
    "  c                  the column's kind: artist, title, album, genre",
    "  l                  the column's link to the columns on its left: Or, And",
    "  x                  exclude the value (never picked), or take it back",
    "  /                  search the column as you type; Enter keeps the match",
    "  n                  the next match",
    "  + -                the time up, down by 5 minutes (digits when it is focused)",
    "  p                  Start playing on or off",
    "  d                  Allow duplicates on or off",
    "  f                  Find Songs",
    "  In the options (Left, Right choose): fit usual or exact, shortest and longest",
    "  length (seconds, M:SS), songs per artist, spread, excluded values (Space clears)",
    "Keys in the playlist:",
    "  r                  replace MPD's queue with it",
    "  a                  append it to MPD's queue",
    "  s                  save it as MPD's stored playlist (asks the name)",
    "  f                  draw again",
    "  Esc                back to the dialog",
    "Keys everywhere:",
    "  ?                  this help (any key closes it)",
    "  q                  quit (Ctrl-C too)",
    "  The mouse: a click ticks a value or presses a button, the wheel scrolls.",
    "  The too-short question: y or Enter for OK, n or Esc for Cancel.",
};

}  // namespace tunyra
