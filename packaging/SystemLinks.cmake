# Run by CPack alone, into the package's root ($ENV{DESTDIR}), never by `cmake --install`:
# the links of CPACK_ORVI_LINKS (a path in that root, then a file under the package's prefix).
if("$ENV{DESTDIR}" STREQUAL "")
  message(FATAL_ERROR "no package root: the links would go into this machine's /usr")
endif()
set(pairs ${CPACK_ORVI_LINKS})
while(pairs)
  list(POP_FRONT pairs link target)
  set(link "$ENV{DESTDIR}/${link}")
  get_filename_component(folder "${link}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(CREATE_LINK "${CPACK_PACKAGING_INSTALL_PREFIX}/${target}" "${link}" SYMBOLIC)
endwhile()
