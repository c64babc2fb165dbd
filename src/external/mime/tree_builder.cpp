// MIMEOutputTarget, LoggerInterface, MimeTreeNode, TreeBuilderMIMEOutputTarget: the tree of
// entities built from a parser's calls; walks, copies and destruction are iterative.
#include <memory>
#include <utility>
#include <vector>

#include <moxxml/external/mime_tree.h>

MIMEOutputTarget::~MIMEOutputTarget() = default;

LoggerInterface::~LoggerInterface() = default;

void LoggerInterface::Log(int level, const char* text) {
  (void)level;
  (void)text;
}

MimeTreeNode::MimeTreeNode() : description(0), parent(nullptr), cursor(0) {}

MimeTreeNode::~MimeTreeNode() {
  // Children are detached before they die, so no destructor recurses.
  std::vector<std::unique_ptr<MimeTreeNode>> pending = std::move(children);
  while (!pending.empty()) {
    std::unique_ptr<MimeTreeNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children) pending.push_back(std::move(child));
    node->children.clear();
  }
}

MimeTreeNode* MimeTreeNode::GetFirstChildNode() {
  cursor = 0;
  return children.empty() ? nullptr : children[0].get();
}

MimeTreeNode* MimeTreeNode::GetNextChildNode() {
  if (cursor + 1 >= children.size()) {
    cursor = children.size();
    return nullptr;
  }
  return children[++cursor].get();
}

TreeBuilderMIMEOutputTarget::TreeBuilderMIMEOutputTarget(LoggerInterface& logger)
    : logger(&logger) {}

TreeBuilderMIMEOutputTarget::TreeBuilderMIMEOutputTarget(const TreeBuilderMIMEOutputTarget& other)
    : MIMEOutputTarget(other), logger(other.logger) {
  if (!other.root) return;
  std::vector<std::pair<const MimeTreeNode*, MimeTreeNode*>> mapping;
  root = std::make_unique<MimeTreeNode>();
  std::vector<std::pair<const MimeTreeNode*, MimeTreeNode*>> work{{other.root.get(), root.get()}};
  while (!work.empty()) {
    auto [source, copy] = work.back();
    work.pop_back();
    mapping.emplace_back(source, copy);
    copy->description = source->description;
    copy->cursor = source->cursor;
    for (const auto& child : source->children) {
      copy->children.push_back(std::make_unique<MimeTreeNode>());
      copy->children.back()->parent = copy;
      work.emplace_back(child.get(), copy->children.back().get());
    }
  }
  for (const auto& [entity, node] : other.open) {
    for (const auto& [source, copy] : mapping) {
      if (source == node) open.emplace_back(entity, copy);
    }
  }
}

TreeBuilderMIMEOutputTarget::~TreeBuilderMIMEOutputTarget() = default;

MimeTreeNode* TreeBuilderMIMEOutputTarget::NodeFor(const MIMEEntityDescription* entity) {
  for (std::size_t i = open.size(); i-- > 0;) {
    if (open[i].first == entity) {
      open.resize(i + 1);
      return open[i].second;
    }
  }
  // Room first, so that a node never stands in the tree without its entry here.
  open.reserve(open.size() + 1);
  auto node = std::make_unique<MimeTreeNode>();
  MimeTreeNode* raw = node.get();
  if (open.empty()) {
    // A new top-level entity replaces a finished tree (one target serves one message).
    root = std::move(node);
  } else {
    raw->parent = open.back().second;
    open.back().second->children.push_back(std::move(node));
  }
  open.emplace_back(entity, raw);
  return raw;
}

void TreeBuilderMIMEOutputTarget::Update(const char* data, int length, MIMEEntityDescription* first,
                                         MIMEEntityDescription* entity, bool flag) {
  (void)data;
  (void)length;
  (void)first;
  (void)flag;
  if (entity != nullptr) NodeFor(entity);
}

void TreeBuilderMIMEOutputTarget::Finalize(MIMEEntityDescription* first,
                                           MIMEEntityDescription* entity, bool flag) {
  (void)first;
  if (entity == nullptr) return;
  MimeTreeNode* node = NodeFor(entity);
  node->description = *entity;
  open.pop_back();
  if (flag) logger->Log(1, "MIME entity ended incomplete");
}

void TreeBuilderMIMEOutputTarget::Cancel(MIMEEntityDescription* first,
                                         MIMEEntityDescription* entity, bool flag) {
  (void)first;
  (void)flag;
  for (std::size_t i = open.size(); i-- > 0;) {
    if (open[i].first == entity) {
      open.resize(i);
      return;
    }
  }
}
