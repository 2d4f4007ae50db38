# The Debian 12 packages the program needs to build and run, and those its tests add.
BUILD_PACKAGES=(cmake g++ make pkg-config qt6-base-dev unixodbc-dev libpq-dev)
RUN_PACKAGES=(unixodbc libpq5 libsqliteodbc libqt6widgets6 fonts-liberation)
TEST_PACKAGES=(googletest libgtest-dev libbenchmark-dev odbc-postgresql postgresql-15 mariadb-server odbc-mariadb
               clang-14 libclang-rt-14-dev pxlib-dev xvfb xauth locales-all dpkg-dev
               python3-pyatspi at-spi2-core dbus xdotool pgloader)
