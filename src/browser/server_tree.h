// The server tree as a plain record: nodes with their keys, texts, images and tags, in the order the
// window shows them. The browser window draws it; the discovery and the commands change it.
#pragma once

#include <string>
#include <vector>

namespace zelta {

// Image keys of the tree's image list.
inline constexpr char kImageDomain[] = "Domain";
inline constexpr char kImageServer[] = "Server";
inline constexpr char kImagePrinter[] = "Printer";
inline constexpr char kImageNetPrinter[] = "NetPrinter";

struct TreeNode {
  int id = 0;      // stable while the node lives; 0 is no node
  int parent = 0;  // 0 for a top-level node
  std::string key, text, image, tag;
  bool sorted = false;  // children kept in order of their texts
  bool expanded = false;
};

class ServerTree {
 public:
  // Adds a node under parent (0: top level) and returns its id; 0 when key is not empty and already
  // used (keys are unique in the whole tree) or parent does not exist.
  int Add(int parent, const std::string& key, const std::string& text, const std::string& image,
          const std::string& tag = "");
  // Removes a node and everything below it.
  void Remove(int id);
  // Removes every node.
  void Clear();
  void RemoveChildren(int id);

  // The node of id, null when there is none. The pointer is good until the tree changes.
  TreeNode* Node(int id);
  const TreeNode* Node(int id) const;
  // The node whose key equals key exactly; 0 when none.
  int Find(const std::string& key) const;
  // The first node of the tree in the order nodes were added ("node 1"); 0 in an empty tree.
  int First() const;
  int Count() const { return static_cast<int>(nodes_.size()); }

  // Children of id (0: the top-level nodes) in display order: sorted by text without case when the
  // parent sorts its children, else in the order added.
  std::vector<int> Children(int id) const;
  // Every node in display order (depth first).
  std::vector<int> DisplayOrder() const;

  int Selected() const { return selected_; }
  void Select(int id) { selected_ = Node(id) ? id : 0; }

 private:
  std::vector<TreeNode> nodes_;  // in the order added
  int next_id_ = 1;
  int selected_ = 0;
};

}  // namespace zelta
