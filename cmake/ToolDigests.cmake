# Computes the MD5 digests of the tools the build is pointed at and writes them into a header,
# so checkFile() accepts exactly these builds.
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
    message(WARNING "${_path} not found: its digest check will always fail")
    set(_digest "")
  endif()
  set(FULMARO_${_upper}_MD5 "${_digest}")
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/tooldigests.h.in
               ${CMAKE_BINARY_DIR}/generated/tooldigests.h @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)
