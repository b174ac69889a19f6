# Makes the Debian package of the build BUILD with CPack in WORK, unpacks it
# there with dpkg-deb and checks it: the control fields, with the libraries
# found by dpkg-shlibdeps; one id for the desktop entry, the metainfo and the
# icon, each valid; the icon at every theme size; the demo generator; and the
# program answering --version and --help without a display, while a later
# "--help" or "-platform" (a password) still goes to the login.
#   cmake -DCPACK=cpack -DBUILD=build -DWORK=folder -DVERSION=x.y.z -P CheckPackage.cmake
cmake_minimum_required(VERSION 3.25)

# Runs a command that must succeed; its output (both streams) in `output`.
function(must_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status STREQUAL "0")
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command} failed (${status}):\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

function(expect text pattern what)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: no match for \"${pattern}\" in:\n${text}")
  endif()
endfunction()

# CPack packs what the build holds; bring that up to date first (nothing to
# do after a full build).
must_run(${CMAKE_COMMAND} --build ${BUILD} --target tamsel tamsel-demo tamsel-icon-files)
file(REMOVE_RECURSE ${WORK})
must_run(${CPACK} -G DEB --config ${BUILD}/CPackConfig.cmake -B ${WORK}/cpack)
file(GLOB debs ${WORK}/cpack/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one package in ${WORK}/cpack, found: ${debs}")
endif()
expect("${debs}" "/tamsel_${VERSION}_[a-z0-9]+\\.deb$" "package file")

must_run(dpkg-deb --field ${debs})
set(control "\n${output}")
expect("${control}" "\nPackage: tamsel\n" "control")
expect("${control}" "\nVersion: ${VERSION}\n" "control")
expect("${control}" "\nSection: database\n" "control")
expect("${control}" "\nMaintainer: [^\n]+<[^@\n]+@[^>\n]+>\n" "control")
expect("${control}" "\nDescription: [^\n]+\n [^\n]+" "control")
foreach(library libqt6widgets6 libqt6gui6 libqt6core6 libodbc2 libodbcinst2 libsqlite3-0 libc6)
  expect("${control}" "\nDepends: [^\n]*${library}" "dependencies found by dpkg-shlibdeps")
endforeach()

set(root ${WORK}/root)
must_run(dpkg-deb -x ${debs} ${root})
set(share ${root}/usr/share)

# The desktop entry names the id that the metainfo and the icon go by.
file(GLOB desktop ${share}/applications/*.desktop)
list(LENGTH desktop count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one desktop entry, found: ${desktop}")
endif()
get_filename_component(id ${desktop} NAME_WLE)
must_run(desktop-file-validate ${desktop})
expect("${output}" "^$" "desktop-file-validate")
file(READ ${desktop} entry)
expect("${entry}" "\nExec=tamsel\n" "desktop entry")
expect("${entry}" "\nIcon=${id}\n" "desktop entry")
expect("${entry}" "\nComment\\[bg\\]=Преглед " "desktop entry")

set(metainfo ${share}/metainfo/${id}.metainfo.xml)
must_run(appstreamcli validate --no-net ${metainfo})
file(READ ${metainfo} component)
expect("${component}" "<id>${id}</id>" "metainfo")
expect("${component}" "<launchable type=\"desktop-id\">${id}.desktop</launchable>" "metainfo")
expect("${component}" "<release version=\"${VERSION}\"" "metainfo")

foreach(size 16 22 24 32 48 64 128 256)
  set(png ${share}/icons/hicolor/${size}x${size}/apps/${id}.png)
  if(NOT EXISTS ${png})
    message(FATAL_ERROR "no icon ${png}")
  endif()
  must_run(file --brief ${png})
  expect("${output}" "^PNG image data, ${size} x ${size}, 8-bit/color RGBA" "icon ${size}")
endforeach()
must_run(file --brief ${share}/icons/hicolor/scalable/apps/${id}.svg)
expect("${output}" "^SVG Scalable Vector Graphics image" "scalable icon")

# A small shop from the unpacked demo generator.
must_run(${root}/usr/bin/tamsel-demo --sales 20 ${WORK}/demo)
foreach(made tamsel-demo.db odbc.ini odbcsys/odbcinst.ini)
  if(NOT EXISTS ${WORK}/demo/${made})
    message(FATAL_ERROR "tamsel-demo made no ${made}")
  endif()
endforeach()

must_run(${root}/usr/bin/tamsel --version)
expect("${output}" "^Tamsel ${VERSION}\n$" "tamsel --version")
must_run(${root}/usr/bin/tamsel --help)
expect("${output}" "^Употреба: tamsel \\[ИЗТОЧНИК \\[ПОТРЕБИТЕЛ ПАРОЛА\\]\\]\n" "tamsel --help")
expect("${output}" "\n +ПАРОЛА +[^\n]*парола" "tamsel --help")

# Only the first argument asks for them: a password "--help" goes with the
# data source to the login, which fails quietly for a source nobody has.
set(ENV{ODBCINI} ${WORK}/demo/odbc.ini)
set(ENV{ODBCSYSINI} ${WORK}/demo/odbcsys)
set(ENV{XDG_CONFIG_HOME} ${WORK}/config)
must_run(${root}/usr/bin/tamsel NoSuchSource dba --help)
expect("${output}" "NoSuchSource: Alias 'NoSuchSource' not found" "tamsel NoSuchSource dba --help")
if(output MATCHES "Употреба")
  message(FATAL_ERROR "tamsel NoSuchSource dba --help printed the help:\n${output}")
endif()
# Nor does the toolkit take them: a password "-platform" (with a fourth,
# ignored argument) must not pick the display.
must_run(${root}/usr/bin/tamsel NoSuchSource dba -platform nosuch)
expect("${output}" "NoSuchSource: Alias 'NoSuchSource' not found" "tamsel NoSuchSource dba -platform nosuch")
