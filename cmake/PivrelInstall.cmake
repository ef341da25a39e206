# What `cmake --install` puts under the prefix: the two programs, the shipped files in
# share/pivrel (where the window looks for them, beside ../share/pivrel of the program), and the
# desktop integration: the icon in the hicolor theme, the menu entry and the MIME types.
include(GNUInstallDirs)
foreach(program pivrel pivrel-cli)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
if(TARGET pivrel_qtpictures)
    install(TARGETS pivrel_qtpictures LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/pivrel)
endif()

set(data ${PROJECT_SOURCE_DIR}/data)
install(DIRECTORY ${data}/Help ${data}/samples ${data}/pics ${data}/icons
        DESTINATION ${CMAKE_INSTALL_DATADIR}/pivrel)
install(FILES ${data}/icons/pivrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${data}/icons/pivrel-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME pivrel.png)
endforeach()
install(FILES ${data}/desktop/pivrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data}/desktop/pivrel-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME pivrel.xml)
