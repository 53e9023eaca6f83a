<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="layer" tilewidth="32" tileheight="32" tilecount="256" columns="16">
 <image source="sample.layer.png" width="512" height="512"/>
 <tile id="1">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="kelvorChip" value="objects.png:0:0"/>
   <property name="priority" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="2">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="kelvorChip" value="objects.png:1:0"/>
   <property name="priority" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="3">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="kelvorChip" value="objects.png:2:0"/>
   <property name="priority" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="4">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="kelvorChip" value="objects.png:3:0"/>
   <property name="priority" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="5">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="kelvorChip" value="objects.png:4:0"/>
   <property name="priority" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="6">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="kelvorChip" value="objects.png:5:0"/>
   <property name="priority" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="7">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="kelvorChip" value="objects.png:6:0"/>
   <property name="priority" type="bool" value="false"/>
  </properties>
 </tile>
 <tile id="8">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="kelvorChip" value="objects.png:7:0"/>
   <property name="priority" type="bool" value="false"/>
  </properties>
 </tile>
</tileset>
