# The project's own scripts, natively: scripts/install-deps against a mirror mid-sync and a 32-bit
# Wine that only the release's suite has, with apt-get and dpkg played by fakes.
add_test(NAME install_deps COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/test_install_deps.sh)
