# Installation and the Debian packages.
#   cmake --install BUILD                          the monitor: executable, desktop entry, XDG
#                                                  autostart entry, hicolor icons, manual page;
#                                                  then the capabilities (or the command for them)
#   cmake --install BUILD --component simulator    the UPS simulator, never part of the above
#   cpack --config BUILD/CPackConfig.cmake         korvan-ups_<version>_<arch>.deb and
#                                                  korvan-ups-simulator_<version>_<arch>.deb
# This file is read before the source rooms, so the monitor's own install rule falls into the
# "monitor" component; the rules that need the targets run once the top directory is read.

include(GNUInstallDirs)

set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME monitor)
# Absolute: a desktop session reads its autostart entries from the XDG system configuration
# folder whatever the installation prefix.
set(UPS_AUTOSTART_DIR "/etc/xdg/autostart" CACHE PATH "Folder of the XDG autostart entry")
set(UPS_PACKAGE_MAINTAINER "Korvan <soporte@korvan.com.ar>" CACHE STRING
  "Maintainer of the Debian packages")
set(UPS_ICON_SIZES 16 22 32 48 64 128 256)

macro(ups_install_rules)
  set(_ups_pkg_src ${CMAKE_SOURCE_DIR}/packaging)
  set(_ups_pkg_out ${CMAKE_BINARY_DIR}/packaging)
  find_program(UPS_GZIP gzip REQUIRED)

  # The application icon in every hicolor size, drawn from the monitor's own artwork.
  add_executable(korvan-ups-icons ${_ups_pkg_src}/makeIcons.cpp)
  target_link_libraries(korvan-ups-icons PRIVATE ups_gui)
  set(_ups_icon_dir ${_ups_pkg_out}/icons)
  set(_ups_icons)
  foreach(size ${UPS_ICON_SIZES})
    list(APPEND _ups_icons ${_ups_icon_dir}/${size}x${size}/apps/korvan-ups.png)
  endforeach()
  add_custom_command(OUTPUT ${_ups_icons}
    COMMAND ${CMAKE_COMMAND} -E env
            QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/xdg-runtime
            $<TARGET_FILE:korvan-ups-icons> ${_ups_icon_dir} ${UPS_ICON_SIZES}
    DEPENDS korvan-ups-icons
    COMMENT "Drawing the application icons" VERBATIM)

  # Debian wants the manual page and the changelog compressed, without a timestamp inside.
  string(TIMESTAMP UPS_CHANGELOG_DATE "%a, %d %b %Y 00:00:00 +0000" UTC)
  string(TIMESTAMP UPS_COPYRIGHT_YEAR "%Y" UTC)
  configure_file(${_ups_pkg_src}/changelog.in ${_ups_pkg_out}/changelog @ONLY)
  configure_file(${_ups_pkg_src}/copyright.in ${_ups_pkg_out}/copyright @ONLY)
  foreach(input ${_ups_pkg_src}/korvan-ups.1 ${_ups_pkg_src}/upssim.1 ${_ups_pkg_out}/changelog)
    get_filename_component(name ${input} NAME)
    add_custom_command(OUTPUT ${_ups_pkg_out}/${name}.gz
      COMMAND sh -c "'${UPS_GZIP}' -9n -c '${input}' > '${_ups_pkg_out}/${name}.gz'"
      DEPENDS ${input} VERBATIM)
  endforeach()

  add_custom_target(korvan-ups-install-files ALL
    DEPENDS ${_ups_icons} ${_ups_pkg_out}/korvan-ups.1.gz ${_ups_pkg_out}/upssim.1.gz
            ${_ups_pkg_out}/changelog.gz)
  # Building the monitor alone is enough for "cmake --install".
  add_dependencies(korvan-ups korvan-ups-install-files)

  install(FILES ${_ups_pkg_src}/korvan-ups.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT monitor)
  install(FILES ${_ups_pkg_src}/korvan-ups-autostart.desktop
    DESTINATION ${UPS_AUTOSTART_DIR} RENAME korvan-ups.desktop COMPONENT monitor)
  foreach(size ${UPS_ICON_SIZES})
    install(FILES ${_ups_icon_dir}/${size}x${size}/apps/korvan-ups.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT monitor)
  endforeach()
  install(FILES ${_ups_pkg_out}/korvan-ups.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT monitor)
  install(FILES ${_ups_pkg_out}/copyright ${_ups_pkg_out}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/korvan-ups COMPONENT monitor)

  # UDP 162 (the agent's traps) and a raw ICMP socket (the agent's ping) need two capabilities.
  # The package's post-install step grants them; a plain install tries here and otherwise says how.
  # The executable's own rule installs it to bin.
  install(CODE "set(_ups_bin bin/korvan-ups)" COMPONENT monitor)
  install(CODE [[
    if(NOT IS_ABSOLUTE "${_ups_bin}")
      set(_ups_bin "${CMAKE_INSTALL_PREFIX}/${_ups_bin}")
    endif()
    set(_ups_setcap_cmd "setcap cap_net_bind_service,cap_net_raw+ep ${_ups_bin}")
    if("$ENV{DESTDIR}" MATCHES "/_CPack_Packages/")
      # CPack staging a package: the package's post-install step sets them on the target system.
    elseif(NOT "$ENV{DESTDIR}" STREQUAL "")
      message(NOTICE "korvan-ups: staged install; once the files are in place run\n"
                     "  sudo ${_ups_setcap_cmd}")
    else()
      find_program(_ups_setcap setcap PATHS /usr/sbin /sbin)
      if(NOT _ups_setcap)
        message(NOTICE "korvan-ups: setcap not found (Debian: libcap2-bin); as root run\n"
                       "  ${_ups_setcap_cmd}")
      else()
        execute_process(COMMAND ${_ups_setcap} cap_net_bind_service,cap_net_raw+ep ${_ups_bin}
          RESULT_VARIABLE _ups_rc ERROR_VARIABLE _ups_err)
        if(_ups_rc EQUAL 0)
          message(STATUS "Capabilities set: cap_net_bind_service,cap_net_raw+ep ${_ups_bin}")
        else()
          string(STRIP "${_ups_err}" _ups_err)
          message(NOTICE "korvan-ups: could not set the capabilities (${_ups_err}); run\n"
                         "  sudo ${_ups_setcap_cmd}")
        endif()
      endif()
    endif()
  ]] COMPONENT monitor)

  # The simulator is a package of its own, left out of a plain "cmake --install".
  set(_ups_components monitor)
  if(TARGET upssim AND NOT UPS_INSTALL_SIMULATOR)
    install(TARGETS upssim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
      COMPONENT simulator EXCLUDE_FROM_ALL)
    install(FILES ${_ups_pkg_out}/upssim.1.gz
      DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT simulator EXCLUDE_FROM_ALL)
    install(FILES ${_ups_pkg_out}/copyright ${_ups_pkg_out}/changelog.gz
      DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/korvan-ups-simulator
      COMPONENT simulator EXCLUDE_FROM_ALL)
    list(APPEND _ups_components simulator)
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME korvan-ups)
  set(CPACK_PACKAGE_VENDOR Korvan)
  set(CPACK_PACKAGE_CONTACT "${UPS_PACKAGE_MAINTAINER}")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES TRUE)
  set(CPACK_COMPONENTS_ALL ${_ups_components})
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${UPS_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${UPS_WEB_ADDRESS}")
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

  set(CPACK_DEBIAN_MONITOR_PACKAGE_NAME korvan-ups)
  set(CPACK_DEBIAN_MONITOR_PACKAGE_SECTION admin)
  # setcap for the post-install step; the libraries come from dpkg-shlibdeps, but for the X
  # resource extension's, which the monitor loads when it first asks applications to close.
  set(CPACK_DEBIAN_MONITOR_PACKAGE_DEPENDS "libcap2-bin, libxres1")
  set(CPACK_DEBIAN_MONITOR_PACKAGE_SUGGESTS korvan-ups-simulator)
  set(CPACK_DEBIAN_MONITOR_PACKAGE_CONTROL_EXTRA
    ${_ups_pkg_src}/postinst ${_ups_pkg_src}/postrm ${_ups_pkg_src}/conffiles)
  set(CPACK_DEBIAN_MONITOR_DESCRIPTION
"desktop monitor for an uninterruptible power supply
Watches one UPS through the contact-signalling lines of a serial port or
through the SNMP v1 agent built into the UPS, and lives in the notification
area with an icon that shows the state. When the mains fail it warns in a
pop-up; when the battery is also low it counts down, asks the other
applications to close and powers the computer off through systemd-logind.
Starts with every desktop session. Its windows and notices are in Spanish.")

  set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME korvan-ups-simulator)
  set(CPACK_DEBIAN_SIMULATOR_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_SIMULATOR_DESCRIPTION
"UPS simulator for trying the korvan-ups monitor
An SNMP v1 agent with the UPS's objects that sends the UPS's traps on command
(mains failure and return, battery low, an administrator's shutdown notice,
agent restart), driven from a command prompt or a scenario file. It lets the
monitor be tried and tested without a UPS.")

  include(CPack)
endmacro()

# The Linux desktop monitor's packaging; a build without the GUI has nothing to package.
if(UPS_BUILD_GUI AND NOT WIN32)
  cmake_language(DEFER CALL ups_install_rules)
endif()
