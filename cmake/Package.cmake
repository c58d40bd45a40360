# The Debian package: `cpack -G DEB` in the build folder (after the build) makes
# velloran_<version>_<arch>.deb from the install rules in Install.cmake.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velloran)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Velloran developers")
set(CPACK_PACKAGE_CONTACT "The Velloran developers <developers@velloran.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Edit the Exif, IPTC and XMP metadata of many photos in one batch")
# Lines of the long description stay under 80 columns in apt's and dpkg's output.
set(CPACK_PACKAGE_DESCRIPTION
    "Velloran is a desktop application that changes the metadata of many
photos at once. Photos are added as files, folders or photo-library
databases; a form of metadata fields and date rules is filled in once and
written into every ticked photo, either into a copy in an output folder or
into the photo where it is. Written photos may be renamed from their date,
place and pixel size, and a restore run puts the old metadata back. A photo
is renamed over its destination only once it is completely written, so a
failed or stopped batch leaves no half-written photo.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velloran.org/")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the binary links (exiv2, Qt, the jemalloc allocator: libjemalloc2)
# come from dpkg-shlibdeps. What it loads or runs by name is listed here: libheif1
# measures and decodes HEIF photos, opened on the first one (its oldest version with
# every function called); exiftool writes HEIC, HEIF, AVIF, CR3 and PNG photos;
# libgeonames' place-name data lives in libgeonames-common; TIFF and WebP thumbnails
# need Qt's image-format plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libheif1 (>= 1.4.0), libimage-exiftool-perl, libgeonames-common, qt6-image-formats-plugins")
# Metadata in CJK, Cyrillic, Greek or Arabic shows as text rather than boxes with
# fonts that cover those scripts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-core, fonts-noto-cjk")

include(CPack)
