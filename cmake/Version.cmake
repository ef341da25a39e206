# The program's names and version, read by the generated base/Version.h (every program and the
# user agent) and by the version block embedded in the pivrel program file.
set(PIVREL_PRODUCT_VERSION "2.2")
set(PIVREL_FILE_VERSION "2.2.1.149")
set(PIVREL_FILE_DESCRIPTION "Pivrel Browser")
set(PIVREL_INTERNAL_NAME "Pivrel")
set(PIVREL_ORIGINAL_FILENAME "pivrel")
set(PIVREL_PRODUCT_NAME "Pivrel wml browser for Windows")
set(PIVREL_COMPANY_NAME "Quillfen Software")
set(PIVREL_LEGAL_COPYRIGHT "Copyright (C) Quillfen Software. All rights reserved.")
set(PIVREL_AGENT "Pivrel ${PIVREL_PRODUCT_VERSION} WML 1.1")
