# Keeps libraries that must stay toolkit-free from linking a toolkit: the
# build, not a convention, then says what may link what.
#
# vashel_forbid_links(WHY text TARGETS targets... PATTERNS regexes...)
# Fails configuration when one of TARGETS links, directly or through other
# targets, an item matching one of PATTERNS, and names every offending path
# ("vashel_app -> vashel_render -> Qt6::Gui") after WHY. Items are matched in lower case,
# so the patterns are written in lower case. Link lists are read as written
# (LINK_LIBRARIES and INTERFACE_LINK_LIBRARIES); every name inside a generator
# expression counts, so a link made only under some condition is caught too.
# Targets that do not exist (a folder not built in this configuration) are
# skipped. An imported target that is not visible from the calling directory
# is judged by its name alone, as it cannot be looked into.
function(vashel_forbid_links)
  cmake_parse_arguments(ARG "" "WHY" "TARGETS;PATTERNS" ${ARGN})
  set(violations "")
  foreach(root IN LISTS ARG_TARGETS)
    if(NOT TARGET ${root})
      continue()
    endif()
    # Breadth first, so that each path named is a shortest one.
    set(queue ${root})
    set(seen ${root})
    string(MAKE_C_IDENTIFIER "${root}" key)
    set(path_${key} "${root}")
    while(queue)
      list(POP_FRONT queue current)
      string(MAKE_C_IDENTIFIER "${current}" key)
      set(via "${path_${key}}")
      set(items "")
      foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
        get_target_property(value ${current} ${property})
        if(value)
          list(APPEND items ${value})
        endif()
      endforeach()
      # Names and paths, also those inside generator expressions such as
      # $<LINK_ONLY:...> and $<$<CONFIG:Debug>:...>.
      string(REGEX MATCHALL "[A-Za-z0-9_./+-]+(::[A-Za-z0-9_.+-]+)*" tokens "${items}")
      foreach(token IN LISTS tokens)
        string(TOLOWER "${token}" lower)
        set(forbidden FALSE)
        foreach(pattern IN LISTS ARG_PATTERNS)
          if(lower MATCHES "${pattern}")
            set(forbidden TRUE)
          endif()
        endforeach()
        if(forbidden)
          list(APPEND violations "${via} -> ${token}")
        elseif(TARGET ${token} AND NOT token IN_LIST seen)
          list(APPEND seen ${token})
          list(APPEND queue ${token})
          string(MAKE_C_IDENTIFIER "${token}" key)
          set(path_${key} "${via} -> ${token}")
        endif()
      endforeach()
    endwhile()
  endforeach()
  if(violations)
    list(REMOVE_DUPLICATES violations)
    list(JOIN violations "\n  " shown)
    message(FATAL_ERROR "${ARG_WHY}\n  ${shown}")
  endif()
endfunction()
