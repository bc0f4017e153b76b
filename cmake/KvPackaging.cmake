# The Debian packages, made by CPack from the install rules' components (scripts/package). Each package is one
# kv_package() entry below: its component, name, section and description, and what it depends on.
# The version is the project's; run-time dependencies of compiled files are found by dpkg-shlibdeps.
#
# Two builds of one commit give identical packages: every date in them is the last commit's
# (SOURCE_DATE_EPOCH, which scripts/package sets and CMake's and CPack's time stamps follow), the compiler
# and linker flags are dpkg-buildflags' (scripts/package), and the files are stripped of the compiler's
# .comment notes (cmake/KvStripComment.cmake).
set(KV_DEB_RELEASE 1)
set(KV_DEB_VERSION "${PROJECT_VERSION}-${KV_DEB_RELEASE}")
set(KV_MAINTAINER "KIRV label kit team <labelkit@kirv.example>")

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct OUTPUT_VARIABLE kv_commit_time
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE kv_git_failed)
  if(NOT kv_git_failed AND kv_commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${kv_commit_time})
  endif()
endif()

set(kv_components "")

# kv_package(COMPONENT NAME SECTION DESCRIPTION [ARCHITECTURE all] [DEPENDS ...] [RECOMMENDS ...]
#            [NO_SHLIBDEPS] [CONTROL_EXTRA file...]): one Debian package of the install rules' component.
function(kv_package component name section)
  cmake_parse_arguments(PARSE_ARGV 3 arg "NO_SHLIBDEPS" "ARCHITECTURE;DESCRIPTION"
                        "DEPENDS;RECOMMENDS;SUGGESTS;ENHANCES;CONTROL_EXTRA")
  string(TOUPPER ${component} c)
  set(CPACK_DEBIAN_${c}_PACKAGE_NAME ${name} PARENT_SCOPE)
  set(CPACK_DEBIAN_${c}_PACKAGE_SECTION ${section} PARENT_SCOPE)
  set(CPACK_COMPONENT_${c}_DESCRIPTION "${arg_DESCRIPTION}" PARENT_SCOPE)
  foreach(field ARCHITECTURE DEPENDS RECOMMENDS SUGGESTS ENHANCES)
    if(arg_${field})
      list(JOIN arg_${field} ", " value)
      set(CPACK_DEBIAN_${c}_PACKAGE_${field} "${value}" PARENT_SCOPE)
    endif()
  endforeach()
  if(arg_CONTROL_EXTRA)
    set(CPACK_DEBIAN_${c}_PACKAGE_CONTROL_EXTRA "${arg_CONTROL_EXTRA}" PARENT_SCOPE)
  endif()
  if(arg_NO_SHLIBDEPS)
    set(CPACK_DEBIAN_${c}_PACKAGE_SHLIBDEPS OFF PARENT_SCOPE)
  endif()
  # Every package carries its copyright file and the Debian change log.
  install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${name} COMPONENT ${component})
  set(kv_components ${kv_components} ${component} PARENT_SCOPE)
endfunction()

# The Debian change log, dated by the last commit (compressed, no time stamp inside).
string(TIMESTAMP kv_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(CONCAT kv_changelog "kvtag (${KV_DEB_VERSION}) unstable; urgency=medium\n\n"
    "  * Release ${PROJECT_VERSION} of the KIRV label kit; see CHANGELOG.md of the sources.\n\n"
    " -- ${KV_MAINTAINER}  ${kv_changelog_date}\n")
file(WRITE ${CMAKE_BINARY_DIR}/packaging/changelog.Debian "${kv_changelog}")
execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/packaging/changelog.Debian)

# The library: its symbols file (the version that brought each export) and shlibs entry, from which programs
# built against it get their dependency, and the loader cache's trigger (no maintainer script runs ldconfig).
set(kv_lib ${CMAKE_BINARY_DIR}/packaging/lib)
file(MAKE_DIRECTORY ${kv_lib})
configure_file(${PROJECT_SOURCE_DIR}/data/debian/libkvtaglib1.symbols ${kv_lib}/symbols COPYONLY)
file(WRITE ${kv_lib}/shlibs "libkvtaglib 1 libkvtaglib1 (>= ${PROJECT_VERSION})\n")
file(WRITE ${kv_lib}/triggers "activate-noawait ldconfig\n")
kv_package(lib libkvtaglib1 libs RECOMMENDS printer-driver-kirv
  CONTROL_EXTRA ${kv_lib}/symbols ${kv_lib}/shlibs ${kv_lib}/triggers
  DESCRIPTION "label command library for KIRV thermal label printers
An application opens a label printer by its CUPS queue name, composes a
label one printer command at a time and prints it as one raw job: text,
barcodes, PDF417, lines, boxes, PCX graphics, bitmaps and TrueType text
drawn at the printer's resolution.

This package holds the shared library. A printer is set up as a raw queue
from the descriptions of printer-driver-kirv:
lpadmin -p KIRV_R5 -E -v socket://ADDRESS:9100 -m kirv/KIRV_R5.ppd")

kv_package(dev libkvtaglib-dev libdevel NO_SHLIBDEPS DEPENDS "libkvtaglib1 (= ${KV_DEB_VERSION})"
  DESCRIPTION "label command library for KIRV thermal label printers (development)
An application opens a label printer by its CUPS queue name, composes a
label one printer command at a time and prints it as one raw job.

This package holds what programs are built with: the header kvtaglib.h, the
unversioned link, the CMake package (find_package(kvtaglib)), the pkg-config
file and the manual page kvtaglib(3).")

# The tool loads the library by its file name at run time, which dpkg-shlibdeps cannot see.
kv_package(kvpanel kvpanel utils DEPENDS "libkvtaglib1 (>= ${PROJECT_VERSION})" RECOMMENDS printer-driver-kirv
  DESCRIPTION "parameter tool for KIRV thermal label printers
A dialog with which a technician configures a label printer installed as a
CUPS queue: it lists the label printers, shows whether the selected one is
on line and sends the commands of twenty options (calibration, tear-off and
peeler positions, sensors, darkness, speed and more). In English and
Chinese.")

kv_package(ppd printer-driver-kirv text ARCHITECTURE all NO_SHLIBDEPS ENHANCES cups
  DESCRIPTION "printer descriptions for KIRV thermal label printers
CUPS printer descriptions (PPD) of the KIRV label printers of 203 and 300
dpi, installed in /usr/share/cups/model/kirv/, where CUPS offers them as
kirv/NAME.ppd (lpinfo -m). A queue made from one is raw: jobs reach the
printer byte for byte, with no filter:
lpadmin -p KIRV_R5 -E -v socket://ADDRESS:9100 -m kirv/KIRV_R5.ppd")

# The Python package loads the library by its file name (ctypes); its byte code is compiled when it is
# installed and removed with it, as Debian's Python packages do.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging/python)
file(WRITE ${CMAKE_BINARY_DIR}/packaging/python/postinst "#!/bin/sh\nset -e\n"
     "if [ \"$1\" = configure ] && command -v py3compile >/dev/null 2>&1; then\n  py3compile -p python3-kvtag\nfi\n")
file(WRITE ${CMAKE_BINARY_DIR}/packaging/python/prerm "#!/bin/sh\nset -e\n"
     "if command -v py3clean >/dev/null 2>&1; then\n  py3clean -p python3-kvtag\nfi\n")
file(CHMOD ${CMAKE_BINARY_DIR}/packaging/python/postinst ${CMAKE_BINARY_DIR}/packaging/python/prerm
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
kv_package(python python3-kvtag python ARCHITECTURE all NO_SHLIBDEPS
  DEPENDS "python3:any" "libkvtaglib1 (>= ${PROJECT_VERSION})"
  CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/python/postinst ${CMAKE_BINARY_DIR}/packaging/python/prerm
  DESCRIPTION "Python package for KIRV thermal label printers (kvtag)
The kvtag package prints labels from Python through the label command
library: kvtag.open(printer_name) opens a printer and starts a job whose
methods append the printer's commands; a failure raises the exception
class of the library's code.")

# kvlabel links the library (its print command goes through it): dpkg-shlibdeps finds it in the build tree,
# and the package depends on the library package of the same build.
if(TARGET kvlabel)
  kv_package(kvlabel kvlabel utils DEPENDS "libkvtaglib1 (= ${KV_DEB_VERSION})"
    DESCRIPTION "label renderer for KIRV thermal label printers
Draws the labels of a job in the printer's command language as pictures, and
serves as a virtual printer.")
endif()

if(TARGET kvprinter)
  kv_package(kvprinter kvprinter net SUGGESTS "avahi-daemon" "cups"
    DESCRIPTION "printer application for KIRV thermal label printers
An IPP Everywhere server (PAPPL) that CUPS, desktop programs and phones see as
driverless printers: PDF, PNG, JPEG, PWG and Apple raster become labels in
the printer's command language, and jobs in that language pass unchanged.
Listens on localhost; a systemd unit runs it as a service.")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvtag)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KIRV ELECTRONIC CO.LTD")
set(CPACK_PACKAGE_CONTACT "${KV_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/build/packages)
set(CPACK_COMPONENTS_ALL ${kv_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/KvStripComment.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KV_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KV_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kirv.example/label-kit")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SOURCE kvtag)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/library)

include(CPack)
