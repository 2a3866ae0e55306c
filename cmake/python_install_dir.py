"""The folder where this interpreter looks for packages installed under a prefix.

    python3 python_install_dir.py PREFIX            prints it, relative to PREFIX
    python3 python_install_dir.py --report PREFIX DIR
                                                    says where the module went
                                                    and whether this interpreter
                                                    finds it there

The prefix of the interpreter's user site (~/.local) gives the user site,
the prefix of the running virtual environment its site-packages, Debian's
/usr its dist-packages and /usr/local the folder Debian's Python searches
there; any other prefix gets the interpreter's standard layout under it,
which the interpreter searches only through PYTHONPATH.
"""

import os
import site
import sys
import sysconfig


def same(a, b):
    return os.path.realpath(os.path.expanduser(a)) == os.path.realpath(os.path.expanduser(b))


def folder(prefix):
    schemes = sysconfig.get_scheme_names()
    user_scheme = f"{os.name}_user"
    if site.ENABLE_USER_SITE is not False and same(prefix, site.getuserbase()) \
            and user_scheme in schemes:
        path = sysconfig.get_path("platlib", user_scheme)
        base = site.getuserbase()
    elif sys.prefix != sys.base_prefix and same(prefix, sys.prefix):
        path = sysconfig.get_path("platlib")
        base = sys.prefix
    elif same(prefix, "/usr") and "deb_system" in schemes:
        path = sysconfig.get_path("platlib", "deb_system")
        base = "/usr"
    elif same(prefix, "/usr/local") and "posix_local" in schemes:
        path = sysconfig.get_path("platlib", "posix_local")
        base = "/usr/local"
    else:
        scheme = "posix_prefix" if os.name == "posix" else "nt"
        path = sysconfig.get_path("platlib", scheme, vars={"base": prefix, "platbase": prefix})
        base = prefix
    return os.path.relpath(os.path.realpath(path), os.path.realpath(base))


def report(prefix, relative):
    where = os.path.join(prefix, relative)
    searched = any(entry and same(entry, where) for entry in sys.path)
    # The user site is searched once it exists, which it does after the install.
    if not searched and site.ENABLE_USER_SITE is not False:
        searched = same(where, site.getusersitepackages())
    print(f"-- kvres Python module for {sys.executable} "
          f"(Python {sys.version_info[0]}.{sys.version_info[1]}) installed in {where}")
    if not searched:
        print(f"-- {sys.executable} does not search {where}: "
              f"set PYTHONPATH={where} to import kvres")


if __name__ == "__main__":
    if sys.argv[1] == "--report":
        report(sys.argv[2], sys.argv[3])
    else:
        print(folder(sys.argv[1]))
