# Installation and the Debian package.

# "tamsel --version" tells the project's version.
target_compile_definitions(tamsel PRIVATE TAMSEL_VERSION="${PROJECT_VERSION}")
