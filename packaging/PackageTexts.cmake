# The texts a package carries, made from the ones kept by hand at the root:
# CHANGELOG.md gives the Debian changelog and the AppStream release list,
# LICENSE the Debian copyright file, so none of them can disagree.

# Rewrites `path` only when its text changes: what is made from it is not
# rebuilt at every configuration.
function(veldrin_write_if_changed path content)
  if(EXISTS ${path})
    file(READ ${path} old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE ${path} "${content}")
endfunction()

# Debian's machine-readable copyright file from the MIT licence text: its
# copyright line goes to the header, the rest verbatim into the licence.
function(veldrin_debian_copyright license out)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${license})
  file(READ ${license} text)
  if(NOT text MATCHES "Copyright \\(c\\) ([^\n]*)\n+(Permission is hereby granted.*)$")
    message(FATAL_ERROR "${license}: expected the MIT licence with its copyright line")
  endif()
  set(holder "${CMAKE_MATCH_1}")
  string(STRIP "${CMAKE_MATCH_2}" body)
  # Continuation lines start with a space; an empty line is a lone dot.
  string(REPLACE "\n\n" "\n.\n" body "${body}")
  string(REPLACE "\n" "\n " body "${body}")
  veldrin_write_if_changed(${out} "\
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Veldrin
Upstream-Contact: ${VELDRIN_MAINTAINER}
Source: ${VELDRIN_HOMEPAGE}

Files: *
Copyright: ${holder}
License: Expat

License: Expat
 ${body}
")
endfunction()

# The day of the week of a date, Sun to Sat (Sakamoto's method): Debian's
# changelog wants it, and lintian checks it.
function(veldrin_weekday year month day out)
  set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR index "${month} - 1")
  list(GET offsets ${index} offset)
  if(month LESS 3)
    math(EXPR year "${year} - 1")
  endif()
  math(EXPR dow "(${year} + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${offset} + ${day}) % 7")
  set(names Sun Mon Tue Wed Thu Fri Sat)
  list(GET names ${dow} name)
  set(${out} ${name} PARENT_SCOPE)
endfunction()

# Reads `changelog_md` and sets, in the caller:
#   VELDRIN_DEBIAN_CHANGELOG    the whole history in Debian's changelog format
#   VELDRIN_APPSTREAM_RELEASES  one <release/> line per release, newest first
#   VELDRIN_RELEASE_DATE        the date of the newest release (YYYY-MM-DD)
# The newest release must be `version`: a package must not ship a history
# that stops short of itself.
function(veldrin_read_changelog changelog_md package version maintainer)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog_md})
  file(READ ${changelog_md} text)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  set(debian "")
  set(releases "")
  set(newest "")
  set(entry "")
  set(trailer "")
  # Line by line without CMake lists, which would split at ';' and '['.
  string(APPEND text "\n## end\n")
  while(NOT text STREQUAL "")
    string(FIND "${text}" "\n" cut)
    string(SUBSTRING "${text}" 0 ${cut} line)
    math(EXPR cut "${cut} + 1")
    string(SUBSTRING "${text}" ${cut} -1 text)
    if(line MATCHES "^## ")
      if(NOT entry STREQUAL "")
        string(APPEND debian "${entry}\n${trailer}")
      endif()
      set(entry "")
      if(line STREQUAL "## end")
        break()
      endif()
      if(NOT line MATCHES "^## ([0-9][0-9A-Za-z.+~]*) .*(([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9]))$")
        message(FATAL_ERROR "${changelog_md}: a release heading reads `## VERSION (build N) — YYYY-MM-DD`, "
                            "not `${line}`")
      endif()
      set(release ${CMAKE_MATCH_1})
      set(date ${CMAKE_MATCH_2})
      set(year ${CMAKE_MATCH_3})
      set(dd ${CMAKE_MATCH_5})
      # The leading 1 keeps 08 and 09 from reading as octal.
      math(EXPR month "1${CMAKE_MATCH_4} - 100")
      math(EXPR day "1${dd} - 100")
      math(EXPR index "${month} - 1")
      list(GET months ${index} month_name)
      veldrin_weekday(${year} ${month} ${day} weekday)
      if(newest STREQUAL "")
        set(newest ${release})
        set(newest_date ${date})
      else()
        string(APPEND debian "\n")
      endif()
      set(entry "${package} (${release}) unstable; urgency=medium\n\n")
      set(trailer " -- ${maintainer}  ${weekday}, ${dd} ${month_name} ${year} 00:00:00 +0000\n")
      string(APPEND releases "    <release version=\"${release}\" date=\"${date}\"/>\n")
    elseif(newest STREQUAL "" OR line MATCHES "^[ \t]*$")
      # The preamble, and blank lines, stay out of the Debian changelog.
    elseif(line MATCHES "^- (.*)")
      string(APPEND entry "  * ${CMAKE_MATCH_1}\n")
    else()
      string(APPEND entry "  ${line}\n")
    endif()
  endwhile()
  if(NOT newest STREQUAL version)
    message(FATAL_ERROR "${changelog_md}: the newest release is `${newest}`, the project is at ${version}; "
                        "add a heading for ${version} with what it changes")
  endif()
  set(VELDRIN_DEBIAN_CHANGELOG "${debian}" PARENT_SCOPE)
  set(VELDRIN_APPSTREAM_RELEASES "${releases}" PARENT_SCOPE)
  set(VELDRIN_RELEASE_DATE ${newest_date} PARENT_SCOPE)
endfunction()
