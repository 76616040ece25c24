# Writes one compressed manual page at build time. help2man reads the built program's --version
# and its --help as the page wants it (PageHelp below), and adds the hand-written sections of the
# include file; with SUBCOMMANDS, the --help of each subcommand that the program's --help lists
# under "Subcommands:" becomes a section COMMANDS, so that the page follows the program as it
# changes. Internal subcommands (another group) are left out.
#   cmake -DHELP2MAN=<help2man> -DPROGRAM=<program> -DINCLUDE=<file.h2m> -DOUT=<name.1.gz>
#         [-DSUBCOMMANDS=ON] -P ManPage.cmake

# Characters that CMake's lists treat specially, held as others while text is a list of lines.
string(ASCII 1 held_semicolon)
string(ASCII 2 held_open)
string(ASCII 3 held_close)
string(ASCII 4 held_backslash)

function(lines_of var text)
  string(REPLACE ";" "${held_semicolon}" text "${text}")
  string(REPLACE "[" "${held_open}" text "${text}")
  string(REPLACE "]" "${held_close}" text "${text}")
  string(REPLACE "\\" "${held_backslash}" text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# A line as roff: backslashes, hyphens, and a leading dot or quote (which would start a request).
function(roff_escape var text)
  string(REPLACE "${held_semicolon}" ";" text "${text}")
  string(REPLACE "${held_open}" "[" text "${text}")
  string(REPLACE "${held_close}" "]" text "${text}")
  string(REPLACE "${held_backslash}" "\\" text "${text}")
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# Folder names as this system writes them: the programs' texts name the workspace's folders the
# Windows way (Nokia\MBM\), which the Linux pages write Nokia/MBM/. A backslash that follows no
# name ("\ or /") is left alone.
function(linux_paths var text)
  string(REGEX REPLACE "([A-Za-z0-9_.])\\\\" "\\1/" text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# The --help text for the page: the "Usage:" lines and the "Options:" block. The program's own
# summary and closing notes are left to the hand-written DESCRIPTION and EXIT STATUS, and the
# list of subcommands to COMMANDS, so that nothing is printed twice.
function(page_help var help)
  lines_of(lines "${help}")
  set(out "")
  set(block "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^Usage: " OR line MATCHES "^  or: ")
      string(APPEND out "${line}\n")
      set(block "")
    elseif(line MATCHES "^[A-Z][A-Za-z ]*:$")
      set(block "${line}")
      if(block STREQUAL "Options:")
        string(APPEND out "\n${line}\n")
      endif()
    elseif(line MATCHES "^ " AND block STREQUAL "Options:")
      string(APPEND out "${line}\n")
    elseif(NOT line MATCHES "^ ")
      set(block "")
    endif()
  endforeach()
  string(REPLACE "${held_semicolon}" ";" out "${out}")
  string(REPLACE "${held_open}" "[" out "${out}")
  string(REPLACE "${held_close}" "]" out "${out}")
  string(REPLACE "${held_backslash}" "\\" out "${out}")
  linux_paths(out "${out}")
  set(${var} "${out}" PARENT_SCOPE)
endfunction()

function(run_help var)
  execute_process(COMMAND "${PROGRAM}" ${ARGN} --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${PROGRAM} ${ARGN} --help failed (${failed})")
  endif()
  set(${var} "${help}" PARENT_SCOPE)
endfunction()

# One subcommand's --help (its summary, "Usage: ...", then "Name  text" lines under headings)
# as a subsection of the page, every option but --help as a tagged paragraph.
function(subcommand_roff var name)
  run_help(help ${name})
  linux_paths(help "${help}")
  lines_of(lines "${help}")
  set(summary "")
  set(usage "")
  set(entries "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^Usage: ([^ ]+ [^ ]+)(.*)$")
      roff_escape(command "${CMAKE_MATCH_1}")
      roff_escape(arguments "${CMAKE_MATCH_2}")
      set(usage "\\fB${command}\\fR${arguments}")
    elseif(usage STREQUAL "" AND NOT line STREQUAL "")
      roff_escape(text "${line}")
      string(APPEND summary "${text}\n")
    elseif(line MATCHES "^  +([^ ]+)(( [^ ]+)*)  +(.*)$")
      set(option "${CMAKE_MATCH_1}")
      roff_escape(arguments "${CMAKE_MATCH_2}")
      roff_escape(text "${CMAKE_MATCH_4}")
      if(NOT option MATCHES "--help$")
        roff_escape(option "${option}")
        string(APPEND entries ".TP\n\\fB${option}\\fR${arguments}\n${text}\n")
      endif()
    endif()
  endforeach()
  set(${var} ".SS \"${name}\"\n${usage}\n.PP\n${summary}${entries}" PARENT_SCOPE)
endfunction()

get_filename_component(name "${OUT}" NAME)
string(REGEX REPLACE "\\.1\\.gz$" "" name "${name}")
get_filename_component(work "${OUT}" DIRECTORY)
set(includes --include "${INCLUDE}")

# help2man runs a stand-in that answers --help with the page's text and hands everything else
# (--version) to the program.
run_help(help)
page_help(shown "${help}")
file(WRITE "${work}/${name}.help" "${shown}")
file(WRITE "${work}/${name}.sh" "#!/bin/sh\nif [ \"$1\" = --help ]; then exec cat '${work}/${name}.help'; fi\nexec '${PROGRAM}' \"$@\"\n")
file(CHMOD "${work}/${name}.sh" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
     WORLD_READ WORLD_EXECUTE)

if(SUBCOMMANDS)
  string(REGEX MATCH "\nSubcommands:\n(  [^\n]+\n)+" listed "${help}")
  string(REGEX MATCHALL "\n  [^ ]+" subcommands "${listed}")
  set(commands "[COMMANDS]\n")
  foreach(sub IN LISTS subcommands)
    string(STRIP "${sub}" sub)
    subcommand_roff(section ${sub})
    string(APPEND commands "${section}")
  endforeach()
  file(WRITE "${work}/${name}.commands.h2m" "${commands}")
  list(APPEND includes --include "${work}/${name}.commands.h2m")
endif()

execute_process(COMMAND "${HELP2MAN}" --no-info --section=1 ${includes} --output "${work}/${name}.1" "${work}/${name}.sh"
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "help2man failed on ${PROGRAM}")
endif()
# help2man sets words that begin with / in italics as file names; here they are options
# ("/u", "/c24") and stay upright.
file(READ "${work}/${name}.1" page)
string(REGEX REPLACE "\\\\fI\\\\,(/[^\\\\]*)\\\\/\\\\fP" "\\1" page "${page}")
file(WRITE "${work}/${name}.1" "${page}")
execute_process(COMMAND gzip -9nf "${work}/${name}.1" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on ${work}/${name}.1")
endif()
