#include "browser/server_tree.h"

#include <strings.h>
#include <algorithm>

namespace zelta {

int ServerTree::Add(int parent, const std::string& key, const std::string& text, const std::string& image,
                    const std::string& tag) {
  if (parent != 0 && !Node(parent)) return 0;
  if (!key.empty() && Find(key) != 0) return 0;
  TreeNode node;
  node.id = next_id_++;
  node.parent = parent;
  node.key = key;
  node.text = text;
  node.image = image;
  node.tag = tag;
  nodes_.push_back(node);
  return node.id;
}

void ServerTree::RemoveChildren(int id) {
  for (int child : Children(id)) Remove(child);
}

void ServerTree::Remove(int id) {
  if (!Node(id)) return;
  RemoveChildren(id);
  if (selected_ == id) selected_ = 0;
  nodes_.erase(std::remove_if(nodes_.begin(), nodes_.end(), [id](const TreeNode& n) { return n.id == id; }),
               nodes_.end());
}

void ServerTree::Clear() {
  nodes_.clear();
  selected_ = 0;
}

TreeNode* ServerTree::Node(int id) {
  for (TreeNode& n : nodes_) {
    if (n.id == id) return &n;
  }
  return nullptr;
}

const TreeNode* ServerTree::Node(int id) const { return const_cast<ServerTree*>(this)->Node(id); }

int ServerTree::Find(const std::string& key) const {
  for (const TreeNode& n : nodes_) {
    if (n.key == key) return n.id;
  }
  return 0;
}

int ServerTree::First() const { return nodes_.empty() ? 0 : nodes_.front().id; }

std::vector<int> ServerTree::Children(int id) const {
  std::vector<const TreeNode*> children;
  for (const TreeNode& n : nodes_) {
    if (n.parent == id) children.push_back(&n);
  }
  const TreeNode* parent = Node(id);
  if (parent && parent->sorted) {
    std::stable_sort(children.begin(), children.end(), [](const TreeNode* a, const TreeNode* b) {
      return strcasecmp(a->text.c_str(), b->text.c_str()) < 0;
    });
  }
  std::vector<int> ids;
  for (const TreeNode* n : children) ids.push_back(n->id);
  return ids;
}

std::vector<int> ServerTree::DisplayOrder() const {
  std::vector<int> order;
  std::vector<int> stack;
  auto push_children = [&](int id) {
    std::vector<int> children = Children(id);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  };
  push_children(0);
  while (!stack.empty()) {
    int id = stack.back();
    stack.pop_back();
    order.push_back(id);
    push_children(id);
  }
  return order;
}

}  // namespace zelta
