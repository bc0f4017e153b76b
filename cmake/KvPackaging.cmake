# The Debian packages, made by CPack from the install rules' components (scripts/package):
#   libkvtaglib1         lib      the shared library (SONAME libkvtaglib.so.1)
#   libkvtaglib-dev      dev      header, unversioned link, CMake package, pkg-config file, kvtaglib(3)
#   kvpanel              kvpanel  the parameter tool, its desktop entry, icons and manual page
#   printer-driver-kirv  ppd      the printer descriptions of the supported models (raw queues)
#   kvlabel              kvlabel  the label renderer, where it is built
#   kvprinter            kvprinter  the printer application (PAPPL), its systemd unit and manual page
# The version is the project's; run-time dependencies are found by dpkg-shlibdeps.
set(KV_DEB_RELEASE 1)
set(KV_DEB_VERSION "${PROJECT_VERSION}-${KV_DEB_RELEASE}")
set(KV_MAINTAINER "KIRV label kit team <labelkit@kirv.example>")

set(kv_components lib dev kvpanel ppd)
if(TARGET kvlabel)
  list(APPEND kv_components kvlabel)
endif()
if(TARGET kvprinter)
  list(APPEND kv_components kvprinter)
endif()
set(kv_package_lib libkvtaglib1)
set(kv_package_dev libkvtaglib-dev)
set(kv_package_kvpanel kvpanel)
set(kv_package_ppd printer-driver-kirv)
set(kv_package_kvlabel kvlabel)
set(kv_package_kvprinter kvprinter)

# Every package carries its copyright file and a Debian change log (compressed, no time stamp inside).
string(TIMESTAMP kv_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(CONCAT kv_changelog "kvtag (${KV_DEB_VERSION}) unstable; urgency=medium\n\n"
    "  * Release ${PROJECT_VERSION} of the KIRV label kit; see CHANGELOG.md of the sources.\n\n"
    " -- ${KV_MAINTAINER}  ${kv_changelog_date}\n")
file(WRITE ${CMAKE_BINARY_DIR}/packaging/changelog.Debian "${kv_changelog}")
execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/packaging/changelog.Debian)
foreach(component IN LISTS kv_components)
  install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${kv_package_${component}} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvtag)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KIRV ELECTRONIC CO.LTD")
set(CPACK_PACKAGE_CONTACT "${KV_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/build/packages)
set(CPACK_COMPONENTS_ALL ${kv_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KV_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KV_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kirv.example/label-kit")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SOURCE kvtag)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_LIB_PACKAGE_NAME libkvtaglib1)
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
# The library's shlibs entry (what programs built against it depend on; only this package has a library)
# and the loader cache's trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
file(WRITE ${CMAKE_BINARY_DIR}/packaging/lib/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/lib/triggers)
set(CPACK_DEBIAN_LIB_PACKAGE_RECOMMENDS printer-driver-kirv)
set(CPACK_COMPONENT_LIB_DESCRIPTION "label command library for KIRV thermal label printers
An application opens a label printer by its CUPS queue name, composes a
label one printer command at a time and prints it as one raw job: text,
barcodes, PDF417, lines, boxes, PCX graphics, bitmaps and TrueType text
drawn at the printer's resolution.

This package holds the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libkvtaglib-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libkvtaglib1 (= ${KV_DEB_VERSION})")
set(CPACK_DEBIAN_DEV_PACKAGE_SHLIBDEPS OFF)
set(CPACK_COMPONENT_DEV_DESCRIPTION "label command library for KIRV thermal label printers (development)
An application opens a label printer by its CUPS queue name, composes a
label one printer command at a time and prints it as one raw job.

This package holds what programs are built with: the header kvtaglib.h, the
unversioned link, the CMake package (find_package(kvtaglib)), the pkg-config
file and the manual page kvtaglib(3).")

set(CPACK_DEBIAN_KVPANEL_PACKAGE_NAME kvpanel)
set(CPACK_DEBIAN_KVPANEL_PACKAGE_SECTION utils)
# The tool loads the library by its file name at run time, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_KVPANEL_PACKAGE_DEPENDS "libkvtaglib1 (>= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_KVPANEL_PACKAGE_RECOMMENDS printer-driver-kirv)
set(CPACK_COMPONENT_KVPANEL_DESCRIPTION "parameter tool for KIRV thermal label printers
A dialog with which a technician configures a label printer installed as a
CUPS queue: it lists the label printers, shows whether the selected one is
on line and sends the commands of twenty options (calibration, tear-off and
peeler positions, sensors, darkness, speed and more). In English and
Chinese.")

set(CPACK_DEBIAN_PPD_PACKAGE_NAME printer-driver-kirv)
set(CPACK_DEBIAN_PPD_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PPD_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PPD_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PPD_PACKAGE_ENHANCES cups)
set(CPACK_COMPONENT_PPD_DESCRIPTION "printer descriptions for KIRV thermal label printers
CUPS printer descriptions (PPD) of the KIRV label printers of 203 and 300
dpi, installed where CUPS finds them (lpinfo -m lists them as kirv/...). A
queue made from one is raw: jobs reach the printer byte for byte, with no
filter.")

set(CPACK_DEBIAN_KVLABEL_PACKAGE_NAME kvlabel)
set(CPACK_DEBIAN_KVLABEL_PACKAGE_SECTION utils)
# kvlabel links the library (its print command goes through it): dpkg-shlibdeps finds it in the build tree,
# and the package depends on the library package of the same build.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/library)
set(CPACK_DEBIAN_KVLABEL_PACKAGE_DEPENDS "libkvtaglib1 (= ${KV_DEB_VERSION})")
set(CPACK_COMPONENT_KVLABEL_DESCRIPTION "label renderer for KIRV thermal label printers
Draws the labels of a job in the printer's command language as pictures, and
serves as a virtual printer.")

set(CPACK_DEBIAN_KVPRINTER_PACKAGE_NAME kvprinter)
set(CPACK_DEBIAN_KVPRINTER_PACKAGE_SECTION net)
set(CPACK_DEBIAN_KVPRINTER_PACKAGE_SUGGESTS "avahi-daemon, cups")
set(CPACK_COMPONENT_KVPRINTER_DESCRIPTION "printer application for KIRV thermal label printers
An IPP Everywhere server (PAPPL) that CUPS, desktop programs and phones see as
driverless printers: PDF, PNG, JPEG, PWG and Apple raster become labels in
the printer's command language, and jobs in that language pass unchanged.
Listens on localhost; a systemd unit runs it as a service.")

include(CPack)
