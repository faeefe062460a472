# What the tool check accepts, written into a header. On Linux the system's tools are used and
# its security updates replace them, so it accepts a tool of the release series found there (the
# first line of "-version") that offers every filter the command builder writes. On Windows the
# user puts the tools into the work folder's Bin, so it accepts FFmpeg 4.1 or any later release
# (or a snapshot build past it) offering those filters. FULMARO_TOOL_DIGESTS=ON accepts only
# the exact builds in FULMARO_TOOLS_DIR instead, by their MD5 digests.
option(FULMARO_TOOL_DIGESTS "Accept only the tool builds found in FULMARO_TOOLS_DIR, by digest" OFF)
if(WIN32)
  set(_fulmaro_exe ".exe")
else()
  set(_fulmaro_exe "")
endif()
foreach(_tool ffmpeg ffplay ffprobe)
  set(_path "${FULMARO_TOOLS_DIR}/${_tool}${_fulmaro_exe}")
  string(TOUPPER "${_tool}" _upper)
  if(EXISTS "${_path}")
    file(MD5 "${_path}" _digest)
    string(TOUPPER "${_digest}" _digest)
    # Reconfigure when the tool is replaced (a package upgrade changes the digest).
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_path}")
  else()
    if(FULMARO_TOOL_DIGESTS)
      message(WARNING "${_path} not found: its digest check will always fail")
    endif()
    set(_digest "")
  endif()
  set(FULMARO_${_upper}_MD5 "${_digest}")
endforeach()

# The release series, "5.1" from "ffmpeg version 5.1.9-0+deb12u1" (or "n5.1.4").
set(_fulmaro_series "")
if(EXISTS "${FULMARO_TOOLS_DIR}/ffmpeg${_fulmaro_exe}")
  execute_process(COMMAND "${FULMARO_TOOLS_DIR}/ffmpeg${_fulmaro_exe}" -version
                  OUTPUT_VARIABLE _fulmaro_version_text ERROR_QUIET RESULT_VARIABLE _fulmaro_rc)
  if(_fulmaro_rc EQUAL 0 AND _fulmaro_version_text MATCHES "^[^ ]+ version n?([0-9]+)\\.([0-9]+)")
    set(_fulmaro_series "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}")
  endif()
endif()
set(FULMARO_TOOLS_SERIES "" CACHE STRING
    "Release series of the tools the program accepts (empty: the series of FULMARO_TOOLS_DIR)")
set(FULMARO_SERIES_OR_LATER false)
if(FULMARO_TOOLS_SERIES STREQUAL "" AND WIN32)
  set(FULMARO_SERIES "4.1")
  set(FULMARO_SERIES_OR_LATER true)
elseif(FULMARO_TOOLS_SERIES STREQUAL "")
  set(FULMARO_SERIES "${_fulmaro_series}")
else()
  set(FULMARO_SERIES "${FULMARO_TOOLS_SERIES}")
endif()
if(NOT FULMARO_TOOL_DIGESTS AND FULMARO_SERIES STREQUAL "")
  message(WARNING "The release series of ${FULMARO_TOOLS_DIR}/ffmpeg is unknown: set "
                  "FULMARO_TOOLS_SERIES, or every tool check will fail")
endif()
if(FULMARO_TOOL_DIGESTS)
  set(FULMARO_CHECK_DIGESTS true)
else()
  set(FULMARO_CHECK_DIGESTS false)
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/tooldigests.h.in
               ${CMAKE_BINARY_DIR}/generated/tooldigests.h @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)
