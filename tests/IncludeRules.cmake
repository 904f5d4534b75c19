# Checks every include of every C++ file under src/ against the folder order and the layers that
# the folders' CMakeLists.txt state:
#   cmake -DSOURCE_DIR=<src> -DLAYER_MAP=<build>/src/Layers.cmake -P IncludeRules.cmake
# A file includes files of its own folder and of folders below it only; a core file includes core
# files and no system header of sockets, processes or the kernel, a system file no Qt; every file
# is listed in a layer, so none escapes the check.
include(${LAYER_MAP})

# What only the system layer includes: libpcap, libbpf, sockets, the kernel's interfaces and
# processes. Core keeps to files (its records and settings); linux/types.h only names the fixed
# sizes that the kernel programs' records share.
set(system_only_headers
    "^(pcap|bpf/|linux/|netinet/|arpa/|net/|sys/(socket|un|prctl|wait|capability|ptrace)\\.h|netdb\\.h|ifaddrs\\.h|poll\\.h|signal\\.h|pwd\\.h|grp\\.h|sched\\.h)")

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.h.in)
list(SORT sources)
set(faults "")

foreach(file IN LISTS sources)
    if(NOT DEFINED layer_of_${file})
        list(APPEND faults "${file} is listed in no layer")
        continue()
    endif()
    set(layer ${layer_of_${file}})
    list(FIND layers ${layer} layerRank)
    get_filename_component(folder ${file} DIRECTORY)
    list(FIND folders "${folder}" folderRank)
    if(folderRank EQUAL -1)
        list(APPEND faults "${file} lies in a folder outside the order ${folders}")
        continue()
    endif()

    file(STRINGS ${SOURCE_DIR}/${file} includeLines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includeLines)
        string(REGEX MATCH "[<\"]([^>\"]+)[>\"]" quoted "${line}")
        set(included ${CMAKE_MATCH_1})
        if(quoted MATCHES "^<")
            if(layer STREQUAL "qt")
                continue()
            elseif(included MATCHES "^(Q|qt)")
                list(APPEND faults "${file} (${layer}) includes Qt: <${included}>")
            elseif(layer STREQUAL "core" AND included MATCHES "${system_only_headers}"
                   AND NOT included STREQUAL "linux/types.h")
                list(APPEND faults "${file} (core) includes a system header: <${included}>")
            endif()
            continue()
        endif()

        # Quoted includes name a file of the same folder or a path below src/; a generated
        # header is listed through its template.
        set(target "")
        foreach(candidate "${folder}/${included}" "${included}" "${included}.in")
            if(DEFINED layer_of_${candidate})
                set(target ${candidate})
                break()
            endif()
        endforeach()
        if(target STREQUAL "")
            list(APPEND faults "${file} includes \"${included}\", which no layer lists")
            continue()
        endif()

        get_filename_component(targetFolder ${target} DIRECTORY)
        list(FIND folders "${targetFolder}" targetFolderRank)
        if(targetFolderRank GREATER folderRank)
            list(APPEND faults
                "${file} includes \"${included}\" from ${targetFolder}/, above its own folder ${folder}/")
        endif()
        set(targetLayer ${layer_of_${target}})
        list(FIND layers ${targetLayer} targetLayerRank)
        if(targetLayerRank GREATER layerRank)
            list(APPEND faults "${file} (${layer}) includes \"${included}\" (${targetLayer})")
        endif()
    endforeach()
endforeach()

list(LENGTH sources checked)
if(faults)
    list(JOIN faults "\n  " report)
    message(FATAL_ERROR "Includes that break the layering:\n  ${report}")
endif()
message(STATUS "${checked} files keep to their folders and layers")
