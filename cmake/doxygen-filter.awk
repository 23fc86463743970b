# Doxygen's input filter for the public headers, which are written to be read
# as plain text:
# - an example or a table is a run of /// lines indented two spaces further
#   than prose ("///   \"a\/b\" => \"a/b\""); each run becomes a code block,
#   shown as written;
# - elsewhere in /// comments '\' and '%' stand for themselves (paths such as
#   C:\dir, escapes such as "\xFF", URL escapes such as "%41"), so outside
#   double-quoted strings (which Doxygen leaves alone) they are escaped;
#   Doxygen commands in the headers are spelled with '@'.
# No line is added or removed, so Doxygen's line numbers stay right. Each
# line is printed one line late, so that a code block can open at the end of
# the line before it and its lines keep their relative indentation.

function is_example(line) {
  return line ~ /^[ \t]*\/\/\/   +[^ ]/
}

function is_comment(line) {
  return line ~ /^[ \t]*\/\/\//
}

# Doxygen takes a double-quoted string on one line as it is, so only the
# text outside such strings is escaped. (A backslash in gsub's replacement
# means different things to different awks, hence one character at a time.)
function escape_prose(line,    at, out, i, c, quoted) {
  at = index(line, "///")
  if (at == 0) return line
  out = substr(line, 1, at + 2)
  quoted = 0
  for (i = at + 3; i <= length(line); i++) {
    c = substr(line, i, 1)
    if (c == "\"") quoted = !quoted
    if (!quoted && (c == "\\" || c == "%")) out = out "\\"
    out = out c
  }
  return out
}

{
  line = $0
  if (is_example(line)) {
    if (!in_example) {
      if (NR > 1 && is_comment(held)) {
        held = held " @code{.unparsed}"
      } else {
        sub(/\/\/\//, "/// @code{.unparsed}", line)
      }
      in_example = 1
    }
  } else {
    if (in_example) held = held " @endcode"
    in_example = 0
    line = escape_prose(line)
  }
  if (NR > 1) print held
  held = line
}

END {
  if (NR > 0) print held (in_example ? " @endcode" : "")
}
