#!/bin/sh
# make-deb.sh BUILD DIST: builds DIST/sint_<version>_<arch>.deb from the
# Release build in BUILD (make deb). It makes the packed wave database when the
# build lacks it, stages `cmake --install` with the prefix /usr, and arranges
# the staged tree the Debian way:
#   /usr/lib/sint/          the program folder: sintsrv and the tools, with
#                           links to the voice and to /etc/sint/sint.ini
#   /usr/share/sint/        the voice and its packed database (byte order fixed,
#                           so architecture-independent)
#   /usr/lib/<triplet>/sint/  the speech-API engine libraries
#   /usr/lib/<triplet>/libsint.so.0, /usr/include/sint.h, pkgconfig/sint.pc
#                           the synthesis library with its C interface
#   /usr/lib/python3/dist-packages/sint.py  the Python module over it
#   /usr/bin/               links to the programs
#   /etc/sint/sint.ini      the server's settings (a conffile); its log_dir is
#                           /var/lib/sint/, never the read-only program folder
#   /lib/systemd/system/, /usr/lib/systemd/user/  sintsrv.service, and
#                           sint-http.service (system, not enabled)
# Depends come from dpkg-shlibdeps; lintian checks the result and fails the
# build on errors.
set -eu

src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
dist=${2:-dist}
debian=$src/deploy/debian

version=$(dpkg-parsechangelog -l "$debian/changelog" -S Version)
maintainer=$(dpkg-parsechangelog -l "$debian/changelog" -S Maintainer)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
triplet=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

# The packed wave database, derived from the committed recordings.
if [ ! -f "$build/sintsrv/data/MorvenaIdra.dat" ]; then
    (cd "$build/sintsrv" && ./sintsrv -ustvaripodatke -konzola)
fi

# The staged tree sits where dpkg-shlibdeps expects a package's files.
work=$build/deb
root=$work/debian/sint
rm -rf "$work"
mkdir -p "$root"
# The build tree is installed as it is configured, with the prefix given at
# install time: the developer's tree is never reconfigured for the package.
cmake --build "$build"
DESTDIR=$root cmake --install "$build" --prefix /usr

# The engine libraries go to the multiarch library folder.
libraries=$root/usr/lib/$triplet/sint
mkdir -p "$libraries"
find "$root" -name 'libMorvDll*.so' ! -path "$libraries/*" -exec mv {} "$libraries/" \;

program=$root/usr/lib/sint
share=$root/usr/share/sint
mkdir -p "$share" "$root/etc/sint"
for entry in "$program"/*; do
    name=$(basename "$entry")
    case $name in
    sintsrv | sint-*) ;;
    sint.ini)
        sed -e 's|^log_dir *=.*|log_dir = /var/lib/sint/|' \
            -e '1a # Installed as /etc/sint/sint.ini; the program folder /usr/lib/sint links to it.' \
            "$entry" >"$root/etc/sint/sint.ini"
        rm "$entry"
        ln -s /etc/sint/sint.ini "$entry"
        ;;
    *)
        mv "$entry" "$share/"
        ln -s "../../share/sint/$name" "$entry"
        ;;
    esac
done

mkdir -p "$root/lib/systemd/system" "$root/usr/lib/systemd/user"
cp "$src/deploy/systemd/sintsrv.service" "$root/lib/systemd/system/sintsrv.service"
cp "$src/deploy/systemd/sintsrv-user.service" "$root/usr/lib/systemd/user/sintsrv.service"
mv "$root/usr/lib/systemd/system/sint-http.service" "$root/lib/systemd/system/"
rmdir "$root/usr/lib/systemd/system"

doc=$root/usr/share/doc/sint
mkdir -p "$doc"
cp "$debian/copyright" "$src/NOTICE" "$doc/"
gzip -9n -c "$debian/changelog" >"$doc/changelog.gz"
gzip -9n "$root"/usr/share/man/man1/*.1

# Plain permissions, then the programs and libraries stripped.
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +
elf_files=$(find "$root" -type f -exec sh -c 'head -c 4 "$1" | grep -q "ELF"' _ {} \; -print)
for f in $elf_files; do
    case $f in
    *.so | *.so.*)
        strip --remove-section=.comment --remove-section=.note --strip-unneeded "$f"
        ;;
    *)
        strip --remove-section=.comment --remove-section=.note "$f"
        chmod 0755 "$f"
        ;;
    esac
done

# Depends of the programs and libraries, as dpkg-shlibdeps computes them (it
# knows the package's files by their DEBIAN folder).
mkdir -p "$root/DEBIAN"
printf 'Source: sint\n\nPackage: sint\nArchitecture: any\n' >"$work/debian/control"
shlibs=$(cd "$work" && dpkg-shlibdeps -O $(for f in $elf_files; do printf ' -e%s' "${f#"$work"/}"; done) |
    sed -n 's/^shlibs:Depends=//p')

mkdir -p "$root/DEBIAN"
for script in postinst prerm postrm; do
    install -m 0755 "$debian/$script" "$root/DEBIAN/$script"
done
install -m 0644 "$debian/conffiles" "$root/DEBIAN/conffiles"
# libsint.so.0 is a public library: its shlibs entry, and ldconfig after install.
printf 'libsint 0 sint (>= %s)\n' "${version%-*}" >"$root/DEBIAN/shlibs"
printf 'activate-noawait ldconfig\n' >"$root/DEBIAN/triggers"
chmod 0644 "$root/DEBIAN/shlibs" "$root/DEBIAN/triggers"
size=$(du -sk --apparent-size --exclude=DEBIAN "$root" | cut -f1)
sed -e "s|@VERSION@|$version|" -e "s|@ARCH@|$arch|" -e "s|@MAINTAINER@|$maintainer|" \
    -e "s|@SIZE@|$size|" -e "s|@DEPENDS@|adduser, $shlibs|" \
    "$debian/control.in" >"$root/DEBIAN/control"
(cd "$root" && find . -path ./DEBIAN -prune -o -type f -print | sed 's|^\./||' | sort |
    xargs md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/md5sums"

mkdir -p "$dist"
package=$dist/sint_${version}_$arch.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$package" >/dev/null
echo "$package"
if command -v lintian >/dev/null; then
    lintian --fail-on error "$package"
fi
