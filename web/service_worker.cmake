# Writes the service worker (SITE/sw.js) from TEMPLATE: the files it keeps
# from the first visit (FILES) and a version that is a digest of those and of
# the files it keeps when fetched (VERSIONED). A build that changes any of
# them changes the worker, and browsers then replace what they kept; one that
# changes none leaves sw.js as it was. Both lists are comma-separated.
string(REPLACE "," ";" FILES "${FILES}")
string(REPLACE "," ";" VERSIONED "${VERSIONED}")
set(digests "")
foreach(file IN LISTS FILES VERSIONED)
  file(SHA256 "${SITE}/${file}" digest)
  string(APPEND digests "${file} ${digest}\n")
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING "${version}" 0 16 VELMORA_SITE_VERSION)
set(VELMORA_SITE_FILES "")
foreach(file IN LISTS FILES)
  string(APPEND VELMORA_SITE_FILES "  \"${file}\",\n")
endforeach()
configure_file("${TEMPLATE}" "${SITE}/sw.js" @ONLY)
