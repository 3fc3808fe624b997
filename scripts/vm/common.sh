# Shared by build-image and run-vm: where the cached image lives and its key.
# The key is a hash of the files that make up the image's recipe, so editing
# any of them leads to a new image, built beside (then instead of) the old one.

vm_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

vm_cache_root() {
  if [ -n "${GHOST_VM_CACHE:-}" ]; then
    echo "$GHOST_VM_CACHE"
  elif [ "$(id -u)" -eq 0 ] || [ -w /var/cache ]; then
    echo /var/cache/tamune-vm
  else
    echo "${XDG_CACHE_HOME:-$HOME/.cache}/tamune-vm"
  fi
}

vm_key() {
  (cd "$vm_dir" && cat build-image guest-init) | sha256sum | cut -c1-16
}

# The directory of the image for the current recipe (it may not exist yet).
vm_image_dir() {
  echo "$(vm_cache_root)/bookworm-$(vm_key)"
}
