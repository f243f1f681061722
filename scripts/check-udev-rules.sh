#!/bin/sh
# Checks the syntax of udev rule files: every rule a comma-separated list of KEY[{attr}]OP"value"
# with known keys, matching keys only compared and assigning keys only assigned, and every GOTO
# with its LABEL. Where the machine's udevadm can verify rules, it does so too.
# Usage: scripts/check-udev-rules.sh FILE...   (exit 0 when every file is sound)
set -eu
status=0
for f in "$@"; do
  awk -v file="$f" '
    function fail(why) { printf "%s:%d: %s\n", file, lineno, why > "/dev/stderr"; bad = 1 }
    BEGIN {
      split("ACTION DEVPATH KERNEL KERNELS SUBSYSTEM SUBSYSTEMS DRIVER DRIVERS ATTRS TAGS TEST " \
            "RESULT CONST DEVTYPE SYSCTL PROGRAM", m, " ")
      for (i in m) match_only[m[i]] = 1
      split("NAME SYMLINK OWNER GROUP MODE SECLABEL ATTR ENV TAG RUN LABEL GOTO IMPORT OPTIONS " \
            "SYSCTL", a, " ")
      for (i in a) assignable[a[i]] = 1
    }
    { lineno = NR }
    /^[ \t]*(#|$)/ { next }
    {
      rule = $0
      n = 0
      while (rule != "") {
        if (!match(rule, /^[ \t]*[A-Z_]+(\{[^}]*\})?(==|!=|\+=|-=|:=|=)"[^"]*"[ \t]*(,|$)/)) {
          fail("cannot read \"" rule "\"")
          next
        }
        token = substr(rule, 1, RLENGTH)
        rule = substr(rule, RLENGTH + 1)
        if (token ~ /,[ \t]*$/ && rule ~ /^[ \t]*$/) fail("a comma ends the rule")
        n++
        match(token, /[A-Z_]+/)
        key = substr(token, RSTART, RLENGTH)
        match(token, /(==|!=|\+=|-=|:=|=)"/)
        op = substr(token, RSTART, RLENGTH - 1)
        if (!(key in match_only) && !(key in assignable)) fail("unknown key " key)
        else if ((op == "==" || op == "!=") && !(key in match_only) && key != "ENV" && key != "ATTR" && key != "TAG" && key != "NAME" && key != "SYMLINK")
          fail(key " cannot be compared")
        else if (op != "==" && op != "!=" && !(key in assignable))
          fail(key " cannot be assigned")
        if (key ~ /^(ATTR|ATTRS|ENV|SYSCTL)$/ && token !~ /\{[^}]+\}/) fail(key " needs {name}")
        if (key == "GOTO") { match(token, /"[^"]*"/); gotos[substr(token, RSTART + 1, RLENGTH - 2)] = lineno }
        if (key == "LABEL") { match(token, /"[^"]*"/); labels[substr(token, RSTART + 1, RLENGTH - 2)] = 1 }
      }
      if (n == 0) fail("empty rule")
    }
    END {
      for (g in gotos) if (!(g in labels)) { lineno = gotos[g]; fail("GOTO \"" g "\" without its LABEL") }
      exit bad
    }' "$f" || status=1
  if command -v udevadm >/dev/null 2>&1 && udevadm verify --help >/dev/null 2>&1; then
    udevadm verify --resolve-names=never "$f" >/dev/null || status=1
  fi
done
exit "$status"
