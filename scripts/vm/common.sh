# Shared by build-image and run-vm: where the cached image lives and its key.
# The key is a hash of the files that make up the image's recipe, comment
# lines left out, so editing what they do leads to a new image, built beside
# (then instead of) the old one, and editing a comment does not.

vm_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# One place for every user: root builds the image there (building needs root)
# and any user's test run reads it, so `sudo make vm-image` then `make test`
# finds the image. GHOST_VM_CACHE chooses another place.
vm_cache_root() {
  echo "${GHOST_VM_CACHE:-/var/cache/tamune-vm}"
}

vm_key() {
  (cd "$vm_dir" && cat build-image guest-init) | grep -v '^[[:space:]]*#' | sha256sum | cut -c1-16
}

# The directory of the image for the current recipe (it may not exist yet).
vm_image_dir() {
  echo "$(vm_cache_root)/bookworm-$(vm_key)"
}
