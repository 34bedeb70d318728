# Client code for Wayland protocols, generated at build time into a C library of its own: only
# the .cpp files of the folders that link it include its headers.
find_package(PkgConfig REQUIRED)
pkg_get_variable(QUORVEL_WAYLAND_SCANNER wayland-scanner wayland_scanner)
if(NOT QUORVEL_WAYLAND_SCANNER)
    find_program(QUORVEL_WAYLAND_SCANNER wayland-scanner REQUIRED)
endif()

# quorvel_wayland_protocols(TARGET XML...)
function(quorvel_wayland_protocols target)
    pkg_check_modules(QUORVEL_WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
    set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated)
    file(MAKE_DIRECTORY ${generated})
    set(sources)
    foreach(xml ${ARGN})
        get_filename_component(protocol ${xml} NAME_WE)
        set(header ${generated}/${protocol}-client-protocol.h)
        set(code ${generated}/${protocol}-protocol.c)
        add_custom_command(OUTPUT ${header}
            COMMAND ${QUORVEL_WAYLAND_SCANNER} client-header ${xml} ${header}
            DEPENDS ${xml} VERBATIM)
        add_custom_command(OUTPUT ${code}
            COMMAND ${QUORVEL_WAYLAND_SCANNER} private-code ${xml} ${code}
            DEPENDS ${xml} VERBATIM)
        list(APPEND sources ${header} ${code})
    endforeach()
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} SYSTEM PUBLIC ${generated})
    target_link_libraries(${target} PUBLIC PkgConfig::QUORVEL_WAYLAND_CLIENT)
endfunction()
