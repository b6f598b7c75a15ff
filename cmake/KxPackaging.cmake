# Debian packages (./kx package, CPack): kxservice — the service with its systemd unit, its
# own system user, its data under /var/lib/kxservice, a configuration file and journal
# logging — and varnoqerp, the client with its module packages, templates and pictures, a
# desktop entry and the korvadex: URL scheme. Installed, each program folder is read-only.
set(KX_CLIENT_DIR lib/varnoqerp)
set(KX_SERVICE_DIR lib/kxservice)
set(KX_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)

# The changelog Debian policy asks for: one entry per released version, compressed.
set(_kx_changelog ${CMAKE_BINARY_DIR}/packaging/changelog)
file(WRITE ${_kx_changelog}
  "varnoqerp (${PROJECT_VERSION}) stable; urgency=medium\n\n"
  "  * Release ${PROJECT_VERSION}.\n\n"
  " -- VarnoqERP developers <packages@varnoqerp.example>  Thu, 10 Dec 2026 12:00:00 +0000\n")
execute_process(COMMAND gzip -9nf ${_kx_changelog})

function(kx_package_docs component package)
  install(FILES ${KX_PACKAGING}/copyright DESTINATION share/doc/${package} COMPONENT ${component})
  install(FILES ${_kx_changelog}.gz DESTINATION share/doc/${package} RENAME changelog.gz COMPONENT ${component})
  install(FILES ${KX_PACKAGING}/${component}/lintian-overrides DESTINATION share/lintian/overrides
          RENAME ${package} COMPONENT ${component})
endfunction()

# A program of a private folder on the PATH.
function(kx_package_link component folder program)
  install(CODE "
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(CREATE_LINK ../${folder}/${program} \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${program}\" SYMBOLIC)"
    COMPONENT ${component})
endfunction()

# The service.
install(TARGETS kxservice RUNTIME DESTINATION ${KX_SERVICE_DIR} COMPONENT service)
install(TARGETS kx_cds kx_wire LIBRARY DESTINATION ${KX_SERVICE_DIR} COMPONENT service)
kx_package_link(service ${KX_SERVICE_DIR} kxservice)
install(FILES ${KX_PACKAGING}/service/kxservice.service DESTINATION /lib/systemd/system COMPONENT service)
install(FILES ${KX_PACKAGING}/service/kxservice.sysusers DESTINATION lib/sysusers.d RENAME kxservice.conf COMPONENT service)
install(FILES ${KX_PACKAGING}/service/kxservice.conf DESTINATION /etc/kxservice COMPONENT service)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/service.md DESTINATION share/doc/kxservice COMPONENT service)
kx_package_docs(service kxservice)

# The client: the program folder as the build tree lays it out.
install(TARGETS kxclient RUNTIME DESTINATION ${KX_CLIENT_DIR} COMPONENT client)
install(TARGETS kx_cds kx_wire kx_utils kx_design kx_rm kx_share LIBRARY DESTINATION ${KX_CLIENT_DIR} COMPONENT client)
install(TARGETS kx_scrips kx_basic kx_express kx_report LIBRARY DESTINATION ${KX_CLIENT_DIR}/bpl COMPONENT client)
install(DIRECTORY ${KX_BIN_DIR}/rmf ${KX_BIN_DIR}/image ${KX_BIN_DIR}/express DESTINATION ${KX_CLIENT_DIR} COMPONENT client)
kx_package_link(client ${KX_CLIENT_DIR} kxclient)
install(FILES ${KX_PACKAGING}/client/varnoqerp.desktop DESTINATION share/applications COMPONENT client)
install(FILES ${KX_BIN_DIR}/image/about.png DESTINATION share/icons/hicolor/32x32/apps RENAME varnoqerp.png COMPONENT client)
kx_package_docs(client varnoqerp)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_VENDOR "VarnoqERP")
set(CPACK_PACKAGE_CONTACT "VarnoqERP developers <packages@varnoqerp.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL service client)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${KX_BIN_DIR})
set(CPACK_DEBIAN_SERVICE_PACKAGE_NAME kxservice)
set(CPACK_COMPONENT_SERVICE_DESCRIPTION "service for the VarnoqERP back-office client\nIt keeps sellers, shops, operators, stock documents and marketplace orders\non SQLite or PostgreSQL and serves the client over HTTP or TLS.")
set(CPACK_DEBIAN_SERVICE_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, adduser")
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_EXTRA
  ${KX_PACKAGING}/service/postinst ${KX_PACKAGING}/service/prerm ${KX_PACKAGING}/service/postrm ${KX_PACKAGING}/service/conffiles)
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME varnoqerp)
set(CPACK_COMPONENT_CLIENT_DESCRIPTION "back-office desktop client for marketplace sellers\nOrders, picking, shipping, refunds, stock documents, stocktakes and\nmaster data, served by kxservice.")
set(CPACK_DEBIAN_CLIENT_PACKAGE_DEPENDS "fonts-wqy-microhei, libqt6svg6, qt6-translations-l10n")
set(CPACK_DEBIAN_CLIENT_PACKAGE_RECOMMENDS "breeze-icon-theme")
include(CPack)
