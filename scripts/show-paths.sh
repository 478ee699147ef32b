# Sourced by release.sh and render.sh: the folder a show plays from, found from its script.
# vortan_show_paths SCRIPT sets script (its absolute path), root (the script's folder, or the one
# above when that is datas/) and script_rel (the script's path from root).
vortan_show_paths() {
  script="$(realpath "$1")"
  root="$(dirname "$script")"
  [ "$(basename "$root")" = datas ] && root="$(dirname "$root")"
  script_rel="$(realpath --relative-to="$root" "$script")"
}
