# Two Debian packages from one build (cpack -G DEB): stock-alert, the client, and
# stock-alert-service, the service with its systemd unit.
include(GNUInstallDirs)
# Installing (and so packing) takes what is built and builds nothing more: the packages need
# two executables, not every test and benchmark.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The client finds its alert sounds next to its executable, so they share a directory; the
# command on the PATH is a link to it.
set(CLIENT_DIR lib/stock-alert)
# Its libraries sit beside it too (it finds them through an RPATH of $ORIGIN), the web pages'
# one included, which it loads when the first web page opens: every add_client_library().
get_property(client_libraries GLOBAL PROPERTY STOCK_ALERT_CLIENT_LIBRARIES)
install(TARGETS stock-alert ${client_libraries}
        RUNTIME DESTINATION ${CLIENT_DIR} COMPONENT client LIBRARY DESTINATION ${CLIENT_DIR} COMPONENT client)
install(FILES ${CMAKE_SOURCE_DIR}/client/resources/miduseing.wav DESTINATION ${CLIENT_DIR} COMPONENT client)
if(SERVICE_CA_FILE)
  install(FILES ${SERVICE_CA_FILE} DESTINATION ${CLIENT_DIR} RENAME service-ca.pem COMPONENT client)
endif()
file(GLOB packaged_sounds ${CMAKE_SOURCE_DIR}/client/resources/Mid/*.wav)
install(FILES ${packaged_sounds} DESTINATION ${CLIENT_DIR}/Mid COMPONENT client)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
file(CREATE_LINK ../lib/stock-alert/stock-alert ${CMAKE_BINARY_DIR}/packaging/stock-alert SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/packaging/stock-alert DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT client)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/stock-alert.desktop DESTINATION share/applications COMPONENT client)
install(FILES ${CMAKE_SOURCE_DIR}/client/resources/main/tray.png DESTINATION share/icons/hicolor/64x64/apps
        RENAME stock-alert.png COMPONENT client)

install(TARGETS stock-alert-service RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT service)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/stock-alert-service.service DESTINATION lib/systemd/system
        COMPONENT service)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/README.Debian DESTINATION share/doc/stock-alert-service
        COMPONENT service)
# Deployment examples (several instances behind a load balancer, unit templates) go with the
# documentation when the tree has them.
if(EXISTS ${CMAKE_SOURCE_DIR}/deploy)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/deploy/ DESTINATION share/doc/stock-alert-service/examples
          COMPONENT service)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Stock alert team <stock-alert@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
# Debugging information stays in the build tree; the packages carry the programs.
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL client service)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME stock-alert)
set(CPACK_DEBIAN_CLIENT_PACKAGE_SECTION net)
set(CPACK_COMPONENT_CLIENT_DESCRIPTION
    "Desktop client for stock-pool alerts\nSigns in to a stock alert service, stays in the notification area and announces new\nstock-pool alerts and news with a sound and a toast.")
# The sans-serif CJK font the interface is drawn in, and Qt's own texts in Chinese.
set(CPACK_DEBIAN_CLIENT_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_SERVICE_PACKAGE_NAME stock-alert-service)
set(CPACK_DEBIAN_SERVICE_PACKAGE_SECTION net)
set(CPACK_COMPONENT_SERVICE_DESCRIPTION
    "Web service for the stock alert desktop client\nAnswers the client's SOAP operations from an SQLite or PostgreSQL store, with the\noperator's commands to add users and publish alerts.")
set(CPACK_DEBIAN_SERVICE_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/service-scripts/postinst ${CMAKE_SOURCE_DIR}/packaging/service-scripts/prerm
    ${CMAKE_SOURCE_DIR}/packaging/service-scripts/postrm)
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
