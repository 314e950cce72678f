# Writes the service worker with its cache's name: the version and the
# first 12 digits of the program's SHA-256.
file(SHA256 ${WASM} digest)
string(SUBSTRING ${digest} 0 12 digest)
file(READ ${IN} text)
string(REPLACE "@CACHE@" "vantorel-${VERSION}-${digest}" text "${text}")
file(WRITE ${OUT} "${text}")
