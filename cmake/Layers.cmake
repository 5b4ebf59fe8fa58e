# The layers, checked when the build is configured: a layer's sources may
# include only the program's headers of the layers below it and only the
# headers of the Qt modules it links. The targets enforce the same when they
# compile (a module not linked has no include path); the check names the
# file and the line at once, and also catches a header named with its
# module's folder (<QtWidgets/QWidget>).

# pomiv_check_includes(WHAT ALLOWED FORBIDDEN_DIRS FILES...): fails
# configuring when one of FILES includes a program header whose folder does
# not start with one of the ALLOWED prefixes (a ;-list, e.g. "core/;net/";
# "*/rules/" allows any area's rules), or a header found in one of the
# FORBIDDEN_DIRS (a ;-list of Qt module include folders).
function(pomiv_check_includes what allowed forbidden_dirs)
  foreach(file IN LISTS ARGN)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" header "${line}")
      set(refused "")
      foreach(dir IN LISTS forbidden_dirs)
        get_filename_component(module "${dir}" NAME)
        if(EXISTS "${dir}/${header}" OR header MATCHES "^${module}/")
          set(refused "${module} is not linked by ${what}")
        endif()
      endforeach()
      if(line MATCHES "\"" AND header MATCHES "/" AND NOT header MATCHES "^tests/")
        set(ok FALSE)
        foreach(prefix IN LISTS allowed)
          if(prefix STREQUAL "*/rules/")
            if(header MATCHES "^[a-z]+/rules/")
              set(ok TRUE)
            endif()
          elseif(header MATCHES "^${prefix}")
            set(ok TRUE)
          endif()
        endforeach()
        if(NOT ok)
          set(refused "${what} may include only ${allowed}")
        endif()
      endif()
      if(refused)
        message(FATAL_ERROR "${file}: #include ${header}: ${refused}")
      endif()
    endforeach()
  endforeach()
endfunction()

# The include folders of Qt modules, e.g. pomiv_qt_dirs(dirs Gui Widgets).
function(pomiv_qt_dirs out)
  set(dirs "")
  foreach(module IN LISTS ARGN)
    foreach(dir IN LISTS Qt6${module}_INCLUDE_DIRS)
      get_filename_component(name "${dir}" NAME)
      if(name STREQUAL "Qt${module}")
        list(APPEND dirs "${dir}")
      endif()
    endforeach()
  endforeach()
  set(${out} "${dirs}" PARENT_SCOPE)
endfunction()

# pomiv_layer(TARGET ALLOWED FORBIDDEN_MODULES...): checks every source of a
# layer's target.
function(pomiv_layer target allowed)
  pomiv_qt_dirs(dirs ${ARGN})
  get_target_property(sources ${target} SOURCES)
  get_target_property(folder ${target} SOURCE_DIR)
  set(files "")
  foreach(source IN LISTS sources)
    if(source MATCHES "\\.(cpp|h)$")
      if(NOT IS_ABSOLUTE "${source}")
        set(source "${folder}/${source}")
      endif()
      list(APPEND files "${source}")
    endif()
  endforeach()
  pomiv_check_includes(${target} "${allowed}" "${dirs}" ${files})
endfunction()

# Script mode, for the test that plants a forbidden include:
# cmake -DWHAT=.. -DALLOWED=.. -DFORBIDDEN_DIRS=.. -DFILE=.. -P Layers.cmake, the
# lists separated by commas.
if(CMAKE_SCRIPT_MODE_FILE AND DEFINED FILE)
  string(REPLACE "," ";" allowed "${ALLOWED}")
  string(REPLACE "," ";" forbidden "${FORBIDDEN_DIRS}")
  pomiv_check_includes("${WHAT}" "${allowed}" "${forbidden}" "${FILE}")
endif()
