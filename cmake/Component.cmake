# The runtime component that installations get: the two libraries in bin under the
# targets CsBrevinLab and CsBrevinApi (standins/component). VELMORA_COMPONENT_LIB_FILE and
# VELMORA_COMPONENT_API_FILE name the files whose digests are fixed in the launcher.
set(VELMORA_COMPONENT_LIB_FILE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/CsBrevinLab.dll)
set(VELMORA_COMPONENT_API_FILE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/CsBrevinApi.dll)
