// The debug console's word completion: given the start of a word, the first name of the root table (in
// alphabetical order) that begins with it, or null when none does.

return function(word) {
  local best = null;
  foreach (name, value in getroottable()) {
    if (typeof name != "string" || name.len() < word.len()) continue;
    if (name.slice(0, word.len()) != word) continue;
    if (best == null || name < best) best = name;
  }
  return best;
}
