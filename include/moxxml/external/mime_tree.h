// MIMEOutputTarget, LoggerInterface, MimeTreeNode, TreeBuilderMIMEOutputTarget: the calls a
// MIME parser makes while it parses, and the target that builds the tree of entities.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include <moxxml/export.h>
#include <moxxml/external/mime_entity.h>

// Receives a message as the parser splits it. For each entity the parser passes the
// entity's bytes, header first, through Update, and calls Finalize once when the entity
// ends. `first` is the top-level entity's description, `entity` the description of the
// entity that the bytes or the call concern. The flag of Update is true in the call that
// carries the end of the entity's header block; the flag of Finalize is true when the
// entity ended incomplete (its header block had no end, or a multipart's close delimiter
// never came). Cancel abandons an entity.
class MOXXML_EXPORT MIMEOutputTarget {
 public:
  virtual ~MIMEOutputTarget();
  virtual void Update(const char* data, int length, MIMEEntityDescription* first,
                      MIMEEntityDescription* entity, bool flag) = 0;
  virtual void Finalize(MIMEEntityDescription* first, MIMEEntityDescription* entity, bool flag) = 0;
  virtual void Cancel(MIMEEntityDescription* first, MIMEEntityDescription* entity, bool flag) = 0;
};

// Diagnostics sink handed to targets. This base logs nothing, so hosts can pass an
// instance of it as the default no-op logger.
class MOXXML_EXPORT LoggerInterface {
 public:
  virtual ~LoggerInterface();
  virtual void Log(int level, const char* text);
};

// One entity of a parsed tree. Owns its children; the child cursor lives here, so walking
// a child's own children leaves it alone.
class MOXXML_EXPORT MimeTreeNode {
 public:
  MimeTreeNode();
  MimeTreeNode(const MimeTreeNode&) = delete;
  MimeTreeNode& operator=(const MimeTreeNode&) = delete;
  ~MimeTreeNode();

  const MIMEEntityDescription* GetMIMEEntityDescription() const { return &description; }
  MimeTreeNode* GetFirstChildNode();
  // Child after the one last given, or null.
  MimeTreeNode* GetNextChildNode();
  MimeTreeNode* GetParentNode() const { return parent; }
  std::size_t GetChildCount() const { return children.size(); }

 private:
  friend class TreeBuilderMIMEOutputTarget;
  MIMEEntityDescription description;
  MimeTreeNode* parent;
  std::vector<std::unique_ptr<MimeTreeNode>> children;
  std::size_t cursor;
};

// Builds one MimeTreeNode per entity, in document order, from the calls of a parser: an
// entity seen for the first time becomes the last child of the innermost open entity, and
// its node takes a copy of the description when the entity is finalized. Copies, the
// destructor and all walks are iterative.
class MOXXML_EXPORT TreeBuilderMIMEOutputTarget : public MIMEOutputTarget {
 public:
  explicit TreeBuilderMIMEOutputTarget(LoggerInterface& logger);
  TreeBuilderMIMEOutputTarget(const TreeBuilderMIMEOutputTarget& other);
  TreeBuilderMIMEOutputTarget& operator=(const TreeBuilderMIMEOutputTarget&) = delete;
  ~TreeBuilderMIMEOutputTarget() override;

  void Update(const char* data, int length, MIMEEntityDescription* first,
              MIMEEntityDescription* entity, bool flag) override;
  void Finalize(MIMEEntityDescription* first, MIMEEntityDescription* entity, bool flag) override;
  void Cancel(MIMEEntityDescription* first, MIMEEntityDescription* entity, bool flag) override;

  // Root entity's node, or null before the first call.
  MimeTreeNode* GetRootNode() const { return root.get(); }

 private:
  MimeTreeNode* NodeFor(const MIMEEntityDescription* entity);

  LoggerInterface* logger;
  std::unique_ptr<MimeTreeNode> root;
  // Open entities, outermost first, with their nodes.
  std::vector<std::pair<const MIMEEntityDescription*, MimeTreeNode*>> open;
};
