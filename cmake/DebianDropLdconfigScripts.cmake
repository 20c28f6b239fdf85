# Run by cpack after it has built the Debian packages (CPACK_POST_BUILD_SCRIPTS).
# CPack gives a package with a shared library under /usr/lib postinst and
# postrm scripts that call ldconfig. libdarulib0 activates dpkg's ldconfig
# trigger instead, which does that job once for all packages, so the scripts
# come out again: the package then runs no script of its own at all.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "/libdarulib[0-9]+_[^/]*\\.deb$")
    continue()
  endif()
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/without-ldconfig-scripts)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --raw-extract ${deb} failed")
  endif()
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${deb} OUTPUT_QUIET RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --build ${deb} failed")
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
