# Gives the package in the current directory (ksv.msi, made by wixl from
# WXS) its summary: subject, author, platform and languages, and a package
# code made from what the package holds (ksv.exe, ksv.ico, WXS, VERSION)
# instead of wixl's random one. The same files give the same package, byte
# for byte; any change gives another code, as Windows Installer wants.
# Usage: cmake -DMSIBUILD=... -DWXS=... -DVERSION=... -DPLATFORM=... -P package-code.cmake
file(READ ${WXS} wxs)
string(REGEX MATCH "UpgradeCode=\"([^\"]+)\"" match "${wxs}")
set(upgrade_code ${CMAKE_MATCH_1})
set(contents "${VERSION} ${PLATFORM}")
foreach(file ksv.exe ksv.ico ${WXS})
    file(SHA256 ${file} hash)
    string(APPEND contents " ${hash}")
endforeach()
string(UUID package_code NAMESPACE ${upgrade_code} NAME "${contents}" TYPE SHA1 UPPER)
execute_process(COMMAND ${MSIBUILD} ksv.msi -s "ksv Minute Counter" ksv "${PLATFORM};2052"
                        "{${package_code}}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "msibuild -s failed (${status})")
endif()
