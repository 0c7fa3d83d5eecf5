# The reading of CHANGELOG.md into release notes and a Debian changelog:
#   cmake -DSOURCE_DIR=... -P changelog_test.cmake
cmake_minimum_required(VERSION 3.22)
include(${SOURCE_DIR}/packaging/changelog.cmake)

set(failures 0)
macro(expect_equal what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(SEND_ERROR "${what}:\n--- got\n${actual}\n--- expected\n${expected}\n---")
    math(EXPR failures "${failures} + 1")
  endif()
endmacro()

# A release with grouped items after one without: escaping, code, continuation lines, and the
# characters that CMake lists treat specially (; [ ]).
mapfit_read_changelog([=[# Changelog

Notes before the first release are not part of it; - not an item.

## 1.10.2 (2024-02-29)

### Files & folders
- Reads `a<b>` files; writes [c]
  and d.
- Second.
### Other
- Third.

## 1.9.0 (2000-01-01)

- Only item,
  two lines.
]=] c "pkg" "A B <a@b.c>")
expect_equal("error" "${c_ERROR}" "")
expect_equal("version" "${c_VERSION}" "1.10.2")
expect_equal("date" "${c_DATE}" "2024-02-29")
expect_equal("epoch" "${c_EPOCH}" "1709164800")
expect_equal("appstream" "${c_APPSTREAM}" [=[    <release version="1.10.2" date="2024-02-29">
      <description>
        <p>Files &amp; folders</p>
        <ul>
          <li>Reads <code>a&lt;b&gt;</code> files; writes [c] and d.</li>
          <li>Second.</li>
        </ul>
        <p>Other</p>
        <ul>
          <li>Third.</li>
        </ul>
      </description>
    </release>
    <release version="1.9.0" date="2000-01-01">
      <description>
        <ul>
          <li>Only item, two lines.</li>
        </ul>
      </description>
    </release>
]=])
expect_equal("debian" "${c_DEBIAN}" [=[pkg (1.10.2) unstable; urgency=medium

  * Files & folders
    - Reads `a<b>` files; writes [c]
      and d.
    - Second.
  * Other
    - Third.

 -- A B <a@b.c>  Thu, 29 Feb 2024 00:00:00 +0000

pkg (1.9.0) unstable; urgency=medium

  * Only item,
    two lines.

 -- A B <a@b.c>  Sat, 01 Jan 2000 00:00:00 +0000
]=])

# Dates: the weekday of the Debian stamp and the epoch, across month and leap-year ends.
foreach(row "1970-01-01|Thu, 01 Jan 1970|0" "1999-12-31|Fri, 31 Dec 1999|946598400"
        "2026-12-09|Wed, 09 Dec 2026|1796774400" "2100-03-01|Mon, 01 Mar 2100|4107542400")
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 date)
  list(GET row 1 stamp)
  list(GET row 2 epoch)
  mapfit_read_changelog("## 1.0 (${date})\n- x\n" d "p" "m")
  expect_equal("error for ${date}" "${d_ERROR}" "")
  expect_equal("epoch of ${date}" "${d_EPOCH}" "${epoch}")
  string(FIND "${d_DEBIAN}" " -- m  ${stamp} 00:00:00 +0000\n" at)
  if(at EQUAL -1)
    message(SEND_ERROR "stamp of ${date}: ${d_DEBIAN}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()

# Faults: the first one is reported with its line.
foreach(row
    "no release|# Changelog\nText.\n|no release ('## VERSION (YYYY-MM-DD)')"
    "empty file||no release ('## VERSION (YYYY-MM-DD)')"
    "no date|## 1.0\n- x\n|line 1: a release begins '## VERSION (YYYY-MM-DD)'"
    "version not numbers|## v1 (2024-01-01)\n- x\n|line 1: a release begins '## VERSION (YYYY-MM-DD)'"
    "no 30 February|## 1.0 (2024-02-30)\n- x\n|line 1: 2024-02-30 is not a date"
    "no leap day 2100|## 1.0 (2100-02-29)\n- x\n|line 1: 2100-02-29 is not a date"
    "no month 13|## 1.0 (2024-13-01)\n- x\n|line 1: 2024-13-01 is not a date"
    "no day 0|## 1.0 (2024-01-00)\n- x\n|line 1: 2024-01-00 is not a date"
    "no changes|# C\n\n## 2.0 (2024-01-02)\n\n## 1.0 (2024-01-01)\n- x\n|line 3: release 2.0 lists no changes"
    "no changes at the end|## 1.0 (2024-01-01)\n|line 1: release 1.0 lists no changes"
    "stray text|## 1.0 (2024-01-01)\n- x\nstray\n- y\n|line 3: neither an item ('- ...'), its continuation nor a heading"
    "deep indent|## 1.0 (2024-01-01)\n- x\n    y\n|line 3: neither an item ('- ...'), its continuation nor a heading"
    "continuation after a blank|## 1.0 (2024-01-01)\n- x\n\n  y\n|line 4: neither an item ('- ...'), its continuation nor a heading"
    "heading first|### H\n## 1.0 (2024-01-01)\n- x\n|line 1: a heading before the first release")
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 name)
  list(GET row 1 text)
  list(GET row 2 message)
  mapfit_read_changelog("${text}" f "p" "m")
  expect_equal("fault '${name}'" "${f_ERROR}" "${message}")
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} failures")
endif()
