# What `cmake --install` puts where, and the two Debian packages CPack makes of it:
# tallyvane-cli (component cli, no Qt) and tallyvane (component desktop). The copy of libcurl
# beside the built programs is never installed: installed programs load the system's libcurl.so.4.
include(GNUInstallDirs)

set(TALLYVANE_APP_ID example.tallyvane.Tallyvane)
set(packagingDir ${CMAKE_CURRENT_LIST_DIR})
set(packagingOut ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${packagingOut})

# Both packages carry the same changelog, so its newest entry must be this version.
file(STRINGS ${packagingDir}/changelog newestEntry LIMIT_COUNT 1)
if(NOT newestEntry MATCHES "^tallyvane \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog: its first entry is not version ${PROJECT_VERSION}")
endif()

# Debian wants manual pages and changelogs compressed at the highest level, without a time stamp.
find_program(GZIP_PROGRAM gzip REQUIRED)
find_program(HELP2MAN_PROGRAM help2man REQUIRED)

# A manual page made from the program's --help, with the sections of packaging/man/PROGRAM.h2m.
function(tallyvane_manual_page target summary)
  set(page ${packagingOut}/${target}.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            ${HELP2MAN_PROGRAM} --no-info --name ${summary} --include ${packagingDir}/man/${target}.h2m
            --version-string "${target} ${PROJECT_VERSION}" --output ${page} $<TARGET_FILE:${target}>
    COMMAND ${GZIP_PROGRAM} -9nf ${page}
    DEPENDS ${target} ${packagingDir}/man/${target}.h2m
    COMMENT "Making the manual page of ${target}"
    VERBATIM)
  add_custom_target(${target}_manual_page ALL DEPENDS ${page}.gz)
endfunction()
tallyvane_manual_page(tallyvane-cli "check large lists of URLs from the command line")
tallyvane_manual_page(tallyvane "check large lists of URLs (desktop application)")

add_custom_command(
  OUTPUT ${packagingOut}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${packagingDir}/changelog ${packagingOut}/changelog
  COMMAND ${GZIP_PROGRAM} -9nf ${packagingOut}/changelog
  DEPENDS ${packagingDir}/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(packaging_changelog ALL DEPENDS ${packagingOut}/changelog.gz)

# Each package's own folder under share/doc holds its copyright file and changelog.
foreach(component IN ITEMS cli desktop)
  set(package tallyvane)
  if(component STREQUAL cli)
    set(package tallyvane-cli)
  endif()
  install(FILES ${packagingDir}/copyright ${packagingOut}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  install(FILES ${packagingOut}/${package}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  install(TARGETS ${package} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
endforeach()

install(FILES ${packagingDir}/${TALLYVANE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT desktop)
install(FILES ${packagingDir}/${TALLYVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo COMPONENT desktop)
set(iconTheme ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor)
install(FILES ${packagingDir}/icons/tallyvane.svg DESTINATION ${iconTheme}/scalable/apps
        RENAME ${TALLYVANE_APP_ID}.svg COMPONENT desktop)
foreach(size IN ITEMS 48 128 256)
  install(FILES ${packagingDir}/icons/tallyvane-${size}.png DESTINATION ${iconTheme}/${size}x${size}/apps
          RENAME ${TALLYVANE_APP_ID}.png COMPONENT desktop)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallyvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tallyvane developers")
set(CPACK_PACKAGE_CONTACT "Tallyvane developers <packages@tallyvane.example>")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli desktop)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tallyvane.example/)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libcurl is loaded at run time, where dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_CLI_PACKAGE_NAME tallyvane-cli)
set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS libcurl4)
set(CPACK_DEBIAN_CLI_DESCRIPTION "check large lists of URLs from the command line
Tallyvane checks large lists of URLs for search-engine work: status codes,
redirect chains and loops, and response headers (X-Robots-Tag, Vary, Link
with rel and hreflang), hop by hop, for millions of URLs.

This package holds tallyvane-cli, the command line for servers, scripts and
CI pipelines: CSV reports, results files, and redirect tests of canonical
forms and mapping rules with JUnit output. It needs no desktop toolkit.")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME tallyvane)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "libcurl4, tallyvane-cli (= ${CPACK_PACKAGE_VERSION})")
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION "check large lists of URLs (desktop application)
Tallyvane checks large lists of URLs for search-engine work: status codes,
redirect chains and loops, and response headers (X-Robots-Tag, Vary, Link
with rel and hreflang), hop by hop, for millions of URLs.

This package holds the desktop application: a sortable, filterable list that
fills while the crawl runs, the details of every response, and the redirect
tests in windows of their own.")
include(CPack)
